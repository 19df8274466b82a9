// Printing through a real print system: a private CUPS scheduler of the test's own (its
// own configuration folder and a spare port), a queue whose device is a file, and the
// Print Fax dialog choosing that queue and printing a 3-page fax to it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/viewer_state.h"
#include "platform/scripted_prompts.h"
#include "print/print_fax_dialog.h"
#include "print/qt_printer.h"
#include "print_test_util.h"
#include "support/test_files.h"

using namespace app;
using namespace testing_support;
using printtest::PdfPages;

namespace {

const char* const kQueue = "vantorel-test";

std::string Find(const std::string& name) {
    for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"})
        if (std::filesystem::exists(std::string(dir) + name)) return std::string(dir) + name;
    return {};
}

// The scheduler's administrators: the group of whoever runs the test.
std::string GroupName() {
    const group* g = ::getgrgid(::getgid());
    return g ? g->gr_name : "root";
}

void WriteText(const std::string& path, const std::string& text, mode_t mode = 0644) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
    ::chmod(path.c_str(), mode);
}

// The queue's driver: its only filter hands the PDF that Qt sends straight to the device.
const char* const kPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VANTOREL.PPD"
*Manufacturer: "Vantorel"
*Product: "(Vantorel Test Printer)"
*ModelName: "Vantorel Test Printer"
*ShortNickName: "Vantorel Test Printer"
*NickName: "Vantorel Test Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*TTRasterizer: Type42
*cupsFilter: "application/pdf 0 passthru"
*OpenUI *PageSize: PickOne
*DefaultPageSize: Letter
*PageSize Letter: ""
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: Letter
*PageRegion Letter: ""
*CloseUI: *PageRegion
*DefaultImageableArea: Letter
*ImageableArea Letter: "18 18 594 774"
*DefaultPaperDimension: Letter
*PaperDimension Letter: "612 792"
*DefaultResolution: 300dpi
)PPD";

// A scheduler run as CUPS's own test suite runs one: configuration, spool, logs and
// helper programs in one folder; the file device allowed.
class Scheduler {
public:
    // Empty when it runs; otherwise why not.
    std::string Start() {
        const std::string cupsd = Find("cupsd"), lpadmin = Find("lpadmin");
        if (cupsd.empty() || lpadmin.empty()) return "cupsd or lpadmin is not installed (packages cups-daemon, cups-client)";
        for (const char* helper : {"/usr/lib/cups/daemon/cups-exec"})
            if (!std::filesystem::exists(helper)) return std::string(helper) + " is missing";
        const std::string d = dir_.path();
        // The scheduler runs filters as another user when started as root.
        ::chmod(d.c_str(), 0755);
        for (const char* sub : {"spool", "spool/temp", "cache", "state", "log", "bin", "bin/filter", "out"})
            std::filesystem::create_directories(d + "/" + sub);
        ::chmod((d + "/out").c_str(), 0777);
        std::filesystem::create_directory_symlink("/usr/lib/cups/daemon", d + "/bin/daemon");
        std::filesystem::create_directory_symlink("/usr/lib/cups/backend", d + "/bin/backend");
        WriteText(d + "/bin/filter/passthru", "#!/bin/sh\nif [ -n \"$6\" ]; then exec cat \"$6\"; fi\nexec cat\n", 0755);
        WriteText(d + "/vantorel.ppd", kPpd);
        port_ = SparePort();
        server_ = "127.0.0.1:" + std::to_string(port_);
        WriteText(d + "/cupsd.conf", "Listen " + server_ +
                                         "\nBrowsing Off\nWebInterface No\nDefaultAuthType None\nLogLevel info\n"
                                         "<Location />\nOrder Allow,Deny\nAllow all\n</Location>\n"
                                         "<Policy default>\n<Limit All>\nOrder Allow,Deny\nAllow all\n</Limit>\n</Policy>\n");
        WriteText(d + "/cups-files.conf", "FileDevice Yes\nServerRoot " + d + "\nRequestRoot " + d + "/spool\nTempDir " + d +
                                              "/spool/temp\nCacheDir " + d + "/cache\nStateDir " + d + "/state\nServerBin " +
                                              d + "/bin\nDataDir /usr/share/cups\nAccessLog " + d + "/log/access_log\nErrorLog " +
                                              d + "/log/error_log\nPageLog " + d + "/log/page_log\nSystemGroup " +
                                              GroupName() + "\n");
        process_.start(QString::fromStdString(cupsd),
                       {"-f", "-c", QString::fromStdString(d + "/cupsd.conf"), "-s", QString::fromStdString(d + "/cups-files.conf")});
        if (!process_.waitForStarted(5000)) return "cupsd did not start";
        for (int i = 0; i < 100 && !Running(); ++i) QThread::msleep(100);
        if (!Running()) return "the scheduler did not answer on " + server_ + ":\n" + ErrorLog();
        std::string out;
        if (RunCommand(lpadmin + " -h " + server_ + " -p " + kQueue + " -E -v file://" + DeviceFile() + " -P " + d +
                           "/vantorel.ppd",
                       &out, true) != 0)
            return "lpadmin failed: " + out;
        return {};
    }
    ~Scheduler() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) process_.kill();
            process_.waitForFinished(2000);
        }
    }
    bool Running() const {
        std::string out;
        return RunCommand("lpstat -h " + server_ + " -r", &out) == 0 && out.find("is running") != std::string::npos;
    }
    std::string ErrorLog() const {
        Bytes b = ReadBytes(dir_.path() + "/log/error_log");
        std::string s(b.begin(), b.end());
        return s.size() > 2000 ? s.substr(s.size() - 2000) : s;
    }
    std::string DeviceFile() const { return dir_.path() + "/out/sheets.prn"; }
    const std::string& server() const { return server_; }

private:
    TempDir dir_;
    QProcess process_;
    int port_ = 0;
    std::string server_;
};

}  // namespace

TEST(PrintThroughCups, ThreePagesReachTheQueuesDevice) {
    Scheduler cups;
    const std::string why = cups.Start();
    if (!why.empty()) GTEST_SKIP() << "no private CUPS scheduler: " << why;
    // Every CUPS call of this process (Qt's included) goes to the private scheduler.
    setenv("CUPS_SERVER", cups.server().c_str(), 1);

    TempDir home;
    setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    ViewerState state;
    state.programDir = QString::fromStdString(home.path());
    std::vector<Bytes> pages;
    for (unsigned i = 0; i < 3; ++i) pages.push_back(MakePcx(PatternPage(216, 300, i + 1), 216));
    WriteBytes(home.File("fax.dcx"), MakeDcx(pages));
    state.currentFax = QString::fromStdString(home.File("fax.dcx"));

    ScriptedPrompts prompts;
    PrintFaxDialog d(nullptr, state);
    ASSERT_TRUE(d.Prepare());
    // Select/Setup Printer: the queue is chosen; its text comes from CUPS.
    prompts.onPrinterSetup = [](QPrinter* p) {
        p->setPrinterName(kQueue);
        return true;
    };
    d.setupButton()->click();
    const QString expected = QString("%1,Vantorel Test Printer,file://%2").arg(kQueue, QString::fromStdString(cups.DeviceFile()));
    EXPECT_EQ(d.printerLabel()->text(), expected);
    EXPECT_EQ(state.settings.printFaxPrnDrv, expected);
    // The queue's default paper less its quarter-inch unprintable edges, at 300 dpi.
    auto printer = OpenPrinter(expected);
    ASSERT_TRUE(printer);
    const auto g = GeometryOf(*printer);
    EXPECT_EQ(g.dpiX, 300);
    EXPECT_EQ(g.printableWidth, 2400);
    EXPECT_EQ(g.printableHeight, 3150);
    // Cancelled setup still shows the properties of the printer already chosen; the
    // paper chosen there is used.
    prompts.onPrinterSetup = nullptr;
    prompts.printerAnswer = false;
    prompts.onPrinterProperties = [](QPrinter* p) { p->setPageSize(QPageSize(QPageSize::Legal)); };
    d.setupButton()->click();
    EXPECT_EQ(prompts.printerPropertySheets, (QStringList{kQueue, kQueue}));
    EXPECT_EQ(d.printerLabel()->text(), expected);

    d.printButton()->click();
    EXPECT_TRUE(prompts.asked.empty()) << prompts.texts().join("|").toStdString();
    EXPECT_EQ(d.job().sheets(), 3u);
    int spooled = -1;
    for (int i = 0; i < 200 && spooled != 3; ++i) {
        QThread::msleep(100);
        spooled = PdfPages(cups.DeviceFile());
    }
    EXPECT_EQ(spooled, 3) << cups.ErrorLog();
    std::string info;
    RunCommand("pdfinfo '" + cups.DeviceFile() + "'", &info);
    EXPECT_NE(info.find("612 x 1008 pts"), std::string::npos) << info;
    ASSERT_EQ(RunCommand(Find("cupsdisable") + " -h " + cups.server() + " " + kQueue), 0);  // then Abort
    PrintFaxDialog again(nullptr, state);
    ASSERT_TRUE(again.Prepare());
    QTimer::singleShot(0, [&] { again.progressWindow()->abortButton()->click(); });
    again.printButton()->click();
    EXPECT_NE(RunCommand("lpstat -h " + cups.server() + " -o " + kQueue + " | grep -q ."), 0) << "the job stays queued";
}
