// The Print Fax dialog and its job, offscreen with scripted prompts, printing to PDF
// files (read back with poppler) and compared with tarvex-cli's sheets.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "app/commands.h"
#include "app/viewer_state.h"
#include "platform/pump_wait.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "platform/window_stack.h"
#include "print/print_fax_dialog.h"
#include "print/qt_printer.h"
#include "print_test_util.h"
#include "support/test_files.h"
#include "viewer/main_window.h"

using namespace app;
using namespace testing_support;
using namespace printtest;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A program folder with its own settings store and a fax to print.
struct PrintFixture {
    TempDir dir;
    ViewerState state;
    ScriptedPrompts prompts;
    PrintFixture() {
        SetShuttingDown(false);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.File("config")));
        state.programDir = Q(dir.path());
    }
    // A DCX whose pages have the given rows (a PCX for one page when `pcx`): blocks and
    // strokes a few pixels wide, so a one-pixel shift of the printer is not a difference.
    void Fax(std::vector<std::size_t> rows, bool pcx = false) {
        std::vector<Bytes> pages;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            Bytes pixels(216 * rows[i], 0xFF);
            for (std::size_t y = 0; y < rows[i]; ++y)
                for (std::size_t x = 0; x < 1728; ++x)
                    if ((x / 14 + y / 10 + i) % 5 == 0 || x % 101 < 3 || (y + i) % 47 < 2)
                        pixels[y * 216 + x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
            pages.push_back(MakePcx(pixels, 216));
        }
        const std::string path = dir.File(pcx ? "fax.pcx" : "fax.dcx");
        WriteBytes(path, pcx ? pages[0] : MakeDcx(pages));
        state.currentFax = Q(path);
    }
    std::string Pdf() const { return dir.File("out.pdf"); }
    QString PdfPrinterText() const { return ",PDF," + QUrl::fromLocalFile(Q(Pdf())).toString(); }
    void PrintToPdf() { state.settings.printFaxPrnDrv = PdfPrinterText(); }
    QVariant Stored(const QString& name) const {
        return QSettings(SettingsPath(), QSettings::IniFormat).value(kConfigure + "/" + name);
    }
};

// Runs `act` on the first visible top-level window of type W once it is shown (a modal
// dialog's own loop runs it).
template <class W>
void WhenShown(std::function<void(W*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* w = qobject_cast<W*>(top); w && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(w);
                return;
            }
    });
    timer->start(5);
}

// Fills the range and presses Print with a real click.
void PressPrint(PrintFaxDialog& d, const QString& first, const QString& last) {
    d.firstEdit()->setText(first);
    d.lastEdit()->setText(last);
    d.printButton()->click();
}

}  // namespace

TEST(PrintFaxDialog, OpensWithTheStoredChoices) {
    PrintFixture f;
    f.Fax({40, 40, 40});
    f.PrintToPdf();
    f.state.settings.scalingFactor = 2;
    f.state.settings.prnAspect = 0;
    f.state.settings.dither = 1;
    f.state.settings.printBlankPage = 1;
    PrintFaxDialog d(nullptr, f.state);
    EXPECT_TRUE(PrintFaxDialog::IsOpen());
    EXPECT_EQ(CurrentToolWindow(), &d);
    ASSERT_TRUE(d.Prepare());
    EXPECT_EQ(d.windowTitle(), "Vantorel Print Fax");
    EXPECT_EQ(d.pageCountLabel()->text(), "0003");
    EXPECT_EQ(d.firstEdit()->text(), "1");
    EXPECT_EQ(d.lastEdit()->text(), "3");
    EXPECT_EQ(d.printerLabel()->text(), "Print to File (PDF): " + Q(f.Pdf()));
    EXPECT_TRUE(d.scalingButton(2)->isChecked());
    EXPECT_TRUE(d.actualSizeButton()->isChecked());
    EXPECT_TRUE(d.lightButton()->isChecked());
    EXPECT_TRUE(d.blankPagesBox()->isChecked());
    EXPECT_TRUE(d.printButton()->isDefault());
    const std::pair<QAbstractButton*, const char*> texts[] = {
        {d.setupButton(), "&Select/Setup Printer"}, {d.printButton(), "&Print"}, {d.cancelButton(), "&Cancel"},
        {d.helpButton(), "&Help"}, {d.scalingButton(1), "API"}, {d.scalingButton(3), "HP 300 X 300"},
        {d.scaleToPrinterButton(), "Scale to Printer"}, {d.actualSizeButton(), "Print Actual Fax Size"},
        {d.normalButton(), "Normal"}, {d.blankPagesBox(), "Print Blank Pages"}};
    for (const auto& [button, text] : texts) EXPECT_EQ(button->text(), text);

    d.show();
    QApplication::setActiveWindow(&d);
    QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(d.setupButton()->isDown()) << "Alt+S is Select/Setup Printer's alone";
    RecordingShell shell;
    setenv("BROWSER", "true", 1);  // a stand-in browser on PATH
    d.helpButton()->click();
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(shell.started[0].endsWith("tarvexhelp.htm#print_fax")) << shell.started[0].toStdString();
    EXPECT_TRUE(f.prompts.asked.empty());
}

TEST(PrintFaxDialog, OpeningRefusals) {
    struct Case {
        const char* what;
        Bytes file;
        QString message;  // empty: ends without a message
    };
    Bytes page = MakePcx(PatternPage(216, 30, 1), 216);
    Bytes notPcx = page;
    notPcx[2] = 0;
    const Case cases[] = {
        {"short", Bytes(page.begin(), page.begin() + 100), "Can not print this file because it is not a valid dcx or pcx."},
        {"not pcx", notPcx, ""},
        {"wide", MakePcx(PatternPage(300, 30, 1), 300), "Cannot Print FILE.\nIt is too Wide (300).\n296 Bytes is the Max."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrintFixture f;
        WriteBytes(f.dir.File("f.pcx"), c.file);
        f.state.currentFax = Q(f.dir.File("f.pcx"));
        RunPrintFax(nullptr, f.state);  // returns at once: no dialog is shown
        QStringList expected;
        if (!c.message.isEmpty()) expected << QString(c.message).replace("FILE", f.state.currentFax);
        EXPECT_EQ(f.prompts.texts(), expected);
        for (const auto& r : f.prompts.asked) EXPECT_EQ(r.title, "Vantorel Print Fax");
        EXPECT_FALSE(PrintFaxDialog::IsOpen());
    }
}

TEST(PrintFaxDialog, RangeMustLieInTheFax) {
    struct Case {
        bool pcx;
        const char *first, *last;
        bool valid;
    };
    const Case cases[] = {
        {false, "0", "3", false}, {false, "1", "4", false}, {false, "3", "2", false}, {false, "x", "3", false},
        {false, "3", "3", true},  {true, "1", "2", false},  {true, "1", "1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + ".." + c.last);
        PrintFixture f;
        f.Fax({40, 40, 40}, c.pcx);
        f.PrintToPdf();
        PrintFaxDialog d(nullptr, f.state);
        ASSERT_TRUE(d.Prepare());
        d.show();
        PressPrint(d, c.first, c.last);
        if (c.valid) {
            EXPECT_TRUE(f.prompts.asked.empty());
            EXPECT_EQ(d.result(), QDialog::Accepted);
            EXPECT_EQ(PdfPages(f.Pdf()), 1);
            continue;
        }
        ASSERT_EQ(f.prompts.asked.size(), 1u);
        EXPECT_EQ(f.prompts.asked[0].text, "The Page Number(s) are invalid.");
        EXPECT_EQ(f.prompts.asked[0].icon, Icon::Error);
        EXPECT_TRUE(d.isVisible()) << "the dialog stays";
        EXPECT_EQ(d.focusWidget(), d.firstEdit());
        EXPECT_FALSE(Exists(f.Pdf()));
    }
}

// A 12-row middle page is skipped and leaves no empty sheet; with blank pages on it prints.
TEST(PrintFaxDialog, BlankPagesMakeNoSheet) {
    for (bool blank : {false, true}) {
        PrintFixture f;
        f.Fax({40, 12, 40});
        f.PrintToPdf();
        PrintFaxDialog d(nullptr, f.state);
        ASSERT_TRUE(d.Prepare());
        d.blankPagesBox()->setChecked(blank);
        d.show();
        // Return in the range field presses the default button, Print.
        d.lastEdit()->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(d.lastEdit(), &press);
        EXPECT_EQ(PdfPages(f.Pdf()), blank ? 3 : 2);
        std::string info;
        RunCommand("pdfinfo '" + f.Pdf() + "'", &info);
        EXPECT_NE(info.find("Title:           Vantorel Fax\n"), std::string::npos) << info;
        EXPECT_EQ(d.job().lastRun().skipped, blank ? 0u : 1u);
    }
}

TEST(PrintFaxDialog, NoUsablePrinterGoesToSetup) {
    struct Case {
        const char* what;
        QString stored;
        std::function<bool(QPrinter*, const std::string& pdf)> setup;
        QString message;  // empty: printed
    };
    const Case cases[] = {
        {"empty text, PDF chosen", "",
         [](QPrinter* p, const std::string& pdf) {
             p->setOutputFormat(QPrinter::PdfFormat);
             p->setOutputFileName(Q(pdf));
             return true;
         },
         ""},
        {"vanished printer, setup cancelled", "Gone Printer,Make,ipp://x/y", [](QPrinter*, const std::string&) { return false; },
         "No Printer selected. Unable to print fax."},
        {"chosen printer does not open", "", [](QPrinter* p, const std::string&) {
             p->setPrinterName("no-such-printer-here");
             return true;
         },
         "1. Be sure to selected your printer from the list.\n\n2. Be sure you have sufficient memory.\n\n"
         "3. Be sure you have sufficient hard drive space."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrintFixture f;
        f.Fax({40, 40});
        f.state.settings.printFaxPrnDrv = c.stored;
        const std::string pdf = f.Pdf();
        f.prompts.onPrinterSetup = [&](QPrinter* p) { return c.setup(p, pdf); };
        PrintFaxDialog d(nullptr, f.state);
        ASSERT_TRUE(d.Prepare());
        PressPrint(d, "1", "2");
        EXPECT_EQ(f.prompts.printerSetups, 1);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(f.prompts.asked.empty());
            EXPECT_EQ(PdfPages(pdf), 2);
            EXPECT_EQ(f.Stored("PrintFaxPrnDrv").toString(), f.PdfPrinterText());
            EXPECT_EQ(d.result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(f.prompts.texts(), QStringList{c.message});
            EXPECT_EQ(d.result(), QDialog::Rejected);
            EXPECT_FALSE(Exists(pdf));
        }
        EXPECT_EQ(d.progressWindow(), nullptr) << "the progress window is gone";
    }
}

// Abort pressed (or Escape in the progress window) while page 1 prints: page 1 is
// finished, nothing after it.
TEST(PrintFaxDialog, AbortStopsAfterTheCurrentPage) {
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "escape" : "button");
        PrintFixture f;
        f.Fax({300, 300, 300});
        f.PrintToPdf();
        PrintFaxDialog d(nullptr, f.state);
        ASSERT_TRUE(d.Prepare());
        QString shownFile, shownPage;
        // The job pumps events between reads; the click arrives while page 1 is decoded.
        QTimer::singleShot(0, [&] {
            PrintProgressWindow* w = d.progressWindow();
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(CurrentToolWindow(), w);
            EXPECT_EQ(w->windowTitle(), "Vantorel Print Fax");
            EXPECT_EQ(w->abortButton()->text(), "&Abort Print Job");
            shownFile = w->fileLabel()->text();
            shownPage = w->pageLabel()->text();
            if (escape) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(w, &press);
            } else {
                w->abortButton()->click();
            }
        });
        PressPrint(d, "1", "3");
        EXPECT_EQ(shownFile, f.state.currentFax);
        EXPECT_EQ(shownPage, "Printing Page: 1 of 1 through 3.");
        EXPECT_FALSE(Exists(f.Pdf()));
        EXPECT_TRUE(d.job().lastRun().aborted);
        EXPECT_EQ(d.job().lastRun().printed, 1u);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
}

TEST(PrintFaxDialog, SettingsWrittenOnlyWhenChanged) {
    PrintFixture f;
    f.Fax({40});
    f.PrintToPdf();
    {
        PrintFaxDialog d(nullptr, f.state);
        ASSERT_TRUE(d.Prepare());
        PressPrint(d, "1", "1");
    }
    for (const char* name : {"ScalingFactor", "PrnAspect", "Dither", "PrintBlankPage"})
        EXPECT_FALSE(f.Stored(name).isValid()) << name << " was written unchanged";
    {
        PrintFaxDialog d(nullptr, f.state);
        ASSERT_TRUE(d.Prepare());
        d.scalingButton(3)->click();
        d.actualSizeButton()->click();
        d.lightButton()->click();
        d.blankPagesBox()->click();
        PressPrint(d, "1", "1");
    }
    EXPECT_EQ(f.Stored("ScalingFactor").toString(), "3");
    EXPECT_EQ(f.Stored("PrnAspect").toString(), "0");
    EXPECT_EQ(f.Stored("Dither").toString(), "1");
    EXPECT_EQ(f.Stored("PrintBlankPage").toString(), "1");
    EXPECT_EQ(f.state.settings.scalingFactor, 3);
}

TEST(PrinterText, JoinSplitAndName) {
    EXPECT_EQ(JoinPrinterText({"Office", "HP LaserJet 4", "socket://10.0.0.5"}), "Office,HP LaserJet 4,socket://10.0.0.5");
    const QString longName(170, 'n');
    EXPECT_EQ(JoinPrinterText({longName, "Model", "ipp://h/p"}), longName + ",Model,ipp");  // stops at 180
    EXPECT_EQ(JoinPrinterText({longName + "xxxxxxxxxx", "M", "u"}).size(), 180);
    PrinterParts p = SplitPrinterText("Office,  HP LaserJet 4, ipp://h/p?a=1,2");
    EXPECT_EQ(p.device, "Office");
    EXPECT_EQ(p.driver, "HP LaserJet 4");
    EXPECT_EQ(p.port, "ipp://h/p?a=1,2");
    EXPECT_EQ(PrinterNameOf("Office,HP,ipp://x"), "Office");
    EXPECT_EQ(PrinterNameOf(QString(100, 'a') + ",b").size(), 79);
    EXPECT_EQ(ParsePageField("12ab"), 12u);
    EXPECT_EQ(ParsePageField("12345"), 1234u);  // four characters are read
    EXPECT_EQ(ParsePageField("-1"), 0u);
    EXPECT_EQ(OpenPrinter(""), nullptr);
    EXPECT_EQ(OpenPrinter(",PDF,ipp://not/a/file"), nullptr);
    // A file printer's text at the limit may be cut short: it opens nothing.
    const QString at179 = ",PDF,file:///tmp/" + QString(179 - 17, 'a'), at180 = at179 + "b";
    ASSERT_EQ(at180.size(), 180);
    EXPECT_NE(OpenPrinter(at179), nullptr);
    EXPECT_EQ(OpenPrinter(at180), nullptr);
    QPrinter printer;  // Qt's printer dialog keeps no page range and no copies of its own
    WhenShown<QPrintDialog>([](QPrintDialog* d) {
        for (const char* name : {"gbPrintRange", "copies", "collate"}) EXPECT_TRUE(d->findChild<QWidget*>(name)->isHidden());
        d->reject();
    });
    EXPECT_FALSE(QtPrompts().printerSetup(nullptr, &printer));
}

// The same pages through Qt's PDF printer and through tarvex-cli's sheets, with the
// geometry the PDF printer reports; poppler renders the PDF at the printer's resolution.
TEST(PrintToPdf, MatchesTheCliSheets) {
    struct Case {
        const char* scaling;
        const char* aspect;
        unsigned scalingFactor, prnAspect;
        double maxMismatch;  // fraction of black pixels that may differ at stroke edges
    };
    const Case cases[] = {
        {"hp300", "actual", 3, 0, 0.001},
        {"api", "actual", 1, 0, 0.001},
        {"api", "scale", 1, 1, 0.001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.scaling) + " " + c.aspect);
        PrintFixture f;
        f.Fax({500, 12, 700});
        f.PrintToPdf();
        f.state.settings.scalingFactor = static_cast<std::uint8_t>(c.scalingFactor);
        f.state.settings.prnAspect = static_cast<std::uint8_t>(c.prnAspect);
        {
            PrintFaxDialog d(nullptr, f.state);
            ASSERT_TRUE(d.Prepare());
            PressPrint(d, "1", "3");
        }
        ASSERT_EQ(PdfPages(f.Pdf()), 2);
        auto printer = OpenPrinter(f.PdfPrinterText());
        ASSERT_TRUE(printer);
        const auto g = GeometryOf(*printer);
        const QPoint origin = printer->pageLayout().paintRectPixels(g.dpiX).topLeft();

        const std::string sheets = f.dir.File("sheets");
        ASSERT_EQ(RunCommand("mkdir -p " + sheets), 0);
        std::string out;
        ASSERT_EQ(RunCommand(CliPath() + " print " + f.state.currentFax.toStdString() + " " + sheets + " --dpi " +
                                 std::to_string(g.dpiX) + " --printable " + std::to_string(g.printableWidth) + "x" +
                                 std::to_string(g.printableHeight) + " --scaling " + c.scaling + " --aspect " + c.aspect,
                             &out),
                  0);
        EXPECT_EQ(out, "wrote " + sheets + "/sheet0001.pbm\nwrote " + sheets + "/sheet0002.pbm\nsheets 2\n");
        ASSERT_EQ(RunCommand("pdftoppm -r " + std::to_string(g.dpiX) + " -gray '" + f.Pdf() + "' " + f.dir.File("pdf")), 0);
        for (int n = 1; n <= 2; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "/sheet%04d.pbm", n);
            Pixels sheet = ReadPnm(sheets + name);
            Pixels page = ReadPnm(f.dir.File("pdf-" + std::to_string(n) + ".pgm"));
            ASSERT_EQ(sheet.width, g.printableWidth);
            // A printer pixel may land one pixel off where the page size is not a whole number of
            // pixels (A4 at 300 dpi): a pixel counts as different only when no neighbour matches.
            auto pdfBlack = [&](int x, int y) { return page.Black(x + origin.x(), y + origin.y()); };
            auto sheetBlack = [&](int x, int y) { return sheet.Black(x, y); };
            auto near = [](auto&& img, int x, int y, bool v) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (img(x + dx, y + dy) == v) return true;
                return false;
            };
            long black = 0, pdfBlackCount = 0, differ = 0;
            for (int y = 0; y < sheet.height; ++y)
                for (int x = 0; x < sheet.width; ++x) {
                    const bool inSheet = sheetBlack(x, y), inPdf = pdfBlack(x, y);
                    black += inSheet;
                    pdfBlackCount += inPdf;
                    differ += !near(pdfBlack, x, y, inSheet) || !near(sheetBlack, x, y, inPdf);
                }
            EXPECT_NEAR(double(pdfBlackCount) / black, 1.0, 0.02) << "sheet " << n;
            EXPECT_GT(black, 10000) << "sheet " << n;
            EXPECT_LE(double(differ) / black, c.maxMismatch) << "sheet " << n << ": " << differ << " of " << black;
        }
    }
}

// File > Print from the menu: the fax is closed while the dialog runs and the same page
// is shown again afterwards; without a fax the command says so.
TEST(PrintFromMainWindow, MenuItemRunsTheDialog) {
    PrintFixture f;
    f.Fax({40, 40, 40});
    const QString programDir = Q(f.dir.File("Tarvex"));
    WriteText(kConfigure, "ThisProgramDir", programDir);
    WriteText(kConfigure, "OpenMax", "0");
    WriteText(kConfigure, "DftFax", f.state.currentFax);
    WriteText(kConfigure, "PrintFaxPrnDrv", f.PdfPrinterText());
    const QString cwd = QDir::currentPath();
    ViewerState state;
    auto w = std::make_unique<MainWindow>(state);
    w->setDesktopWidth(1024);
    ASSERT_TRUE(w->start());
    auto settle = [] {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    };
    settle();
    w->postCommand(cmd::NextPage);
    settle();
    ASSERT_EQ(w->currentPage(), 2u);

    bool faxOpenDuringDialog = true, pageBehind = false;
    const auto grab = [&] { return w->pageView()->viewport()->grab().toImage(); };
    const QImage page = grab();
    WhenShown<PrintFaxDialog>([&](PrintFaxDialog* d) {
        faxOpenDuringDialog = w->faxOpen();
        pageBehind = grab() == page;
        // A second File > Print while this one is open.
        w->action(cmd::Print)->trigger();
        settle();
        PressPrint(*d, "2", "3");
    });
    w->action(cmd::Print)->trigger();
    settle();
    settle();
    EXPECT_FALSE(faxOpenDuringDialog);
    EXPECT_TRUE(pageBehind);
    EXPECT_EQ(f.prompts.texts(), QStringList{"Vantorel, Fax Print Driver is busy."});
    EXPECT_EQ(PdfPages(f.Pdf()), 2);
    EXPECT_TRUE(w->faxOpen());
    EXPECT_EQ(w->currentPage(), 2u);

    w->releaseFax();
    w->action(cmd::Print)->trigger();
    settle();
    ASSERT_EQ(f.prompts.asked.size(), 2u);
    EXPECT_EQ(f.prompts.asked[1].text, "Please select a Fax.");
    EXPECT_EQ(f.prompts.asked[1].icon, Icon::Information);
    EXPECT_EQ(f.prompts.asked[1].title, "Vantorel");
    w.reset();
    QDir::setCurrent(cwd);
    SetShuttingDown(false);
}
