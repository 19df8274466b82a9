// The Configure and Select Paint Program dialogs, shown offscreen and used with clicks and
// keys; what they store in the settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "help/configure_dialog.h"
#include "help_fixture.h"
#include "platform/settings_store.h"
#include "platform/window_stack.h"

using namespace helpfix;

namespace {
QVariant Stored(const QString& name) {
    return QSettings(app::SettingsPath(), QSettings::IniFormat).value("Configure/" + name);
}
}  // namespace

TEST(PaintProgramStartFolder, FolderOfAnAbsoluteProgramElseTheProgramFolder) {
    struct Case {
        QString paintProgram, folder;
    } cases[] = {
        {"/opt/tools/paint", "/opt/tools"},
        {"/usr/bin/gimp", "/usr/bin"},
        {"/paint", "/"},  // never above the root
        {"paint", "/home/u/Tarvex"},
        {"tools/paint", "/home/u/Tarvex"},
        {"", "/home/u/Tarvex"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::PaintProgramStartFolder(c.paintProgram, "/home/u/Tarvex"), c.folder) << c.paintProgram.toStdString();
}

TEST(ConfigureDialog, ControlsFocusWindowStackAndHelp) {
    HelpDesk desk;
    desk.SetBrowserVariable("true");
    desk.state.settings.openMax = 1;
    app::ConfigureDialog dialog(nullptr, desk.state);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Vantorel Configure");
    const std::pair<QAbstractButton*, QString> texts[] = {
        {dialog.selectButton(), "Select Program to &View/Edit Bitmap Files..."},
        {dialog.openMaxBox(), "Always Open Viewer Maximized"},
        {dialog.helpButton(), "&Help"},
        {dialog.cancelButton(), "&Cancel"},
        {dialog.applyButton(), "&Apply"},
    };
    for (const auto& [button, text] : texts) EXPECT_EQ(button->text(), text);
    EXPECT_TRUE(dialog.openMaxBox()->isChecked());
    EXPECT_TRUE(dialog.cancelButton()->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), dialog.cancelButton());
    EXPECT_EQ(app::CurrentToolWindow(), &dialog);

    QTest::mouseClick(dialog.helpButton(), Qt::LeftButton);
    ASSERT_EQ(desk.shell.started.size(), 1);
    EXPECT_TRUE(desk.shell.started[0].endsWith(" file://" + desk.helpPage + "#ToolsCfg")) << desk.shell.started[0].toStdString();
}

TEST(ConfigureDialog, OpenMaxIsStoredWhenClickedAndKeptHoweverTheDialogCloses) {
    struct Case {
        const char* how;
        std::function<void(app::ConfigureDialog&)> close;
        int result;
    } cases[] = {
        {"Enter", [](app::ConfigureDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }, QDialog::Rejected},
        {"Escape", [](app::ConfigureDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
        {"Cancel", [](app::ConfigureDialog& d) { QTest::mouseClick(d.cancelButton(), Qt::LeftButton); }, QDialog::Rejected},
        {"Apply", [](app::ConfigureDialog& d) { QTest::mouseClick(d.applyButton(), Qt::LeftButton); }, QDialog::Accepted},
    };
    for (const Case& c : cases) {
        HelpDesk desk;
        desk.state.settings.openMax = 0;
        app::WriteText(app::kConfigure, "OpenMax", "0");
        app::ConfigureDialog dialog(nullptr, desk.state);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.openMaxBox(), Qt::LeftButton);
        EXPECT_EQ(Stored("OpenMax").toString(), "1") << c.how << ": written at once";
        dialog.cancelButton()->setFocus();
        c.close(dialog);
        EXPECT_FALSE(dialog.isVisible()) << c.how;
        EXPECT_EQ(dialog.result(), c.result) << c.how;
        EXPECT_EQ(Stored("OpenMax").toString(), "1") << c.how;
        EXPECT_EQ(desk.state.settings.openMax, 1u) << c.how;
    }
}

// The languages come from the language data folder; the box and the language are stored as
// they change, a language also when typed as names joined by "+".
TEST(ConfigureDialog, RecogniseTextAndItsLanguageAreStoredAtOnce) {
    HelpDesk desk;
    for (const char* file : {"eng.traineddata", "deu.traineddata", "osd.traineddata", "notes.txt"})
        testing_support::WriteBytes(desk.dir.File(file), {});
    qputenv("TESSDATA_PREFIX", desk.dir.path().c_str());
    app::ConfigureDialog dialog(nullptr, desk.state);
    qunsetenv("TESSDATA_PREFIX");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QComboBox* language = dialog.languageBox();
    EXPECT_EQ(dialog.recogniseBox()->text(), "Recognise text in PDF exports");
    EXPECT_FALSE(dialog.recogniseBox()->isChecked());
    EXPECT_FALSE(language->isEnabled());
    EXPECT_EQ(language->currentText(), "eng");
    ASSERT_EQ(language->count(), 2);
    EXPECT_EQ(language->itemText(0) + "," + language->itemText(1), "deu,eng");

    dialog.recogniseBox()->setFocus();
    QTest::keyClick(dialog.recogniseBox(), Qt::Key_Space);
    EXPECT_EQ(Stored("RecognisePdfText").toString(), "1");
    ASSERT_TRUE(language->isEnabled());
    language->setFocus();
    QTest::keyClick(language, Qt::Key_Up);
    EXPECT_EQ(Stored("RecogniseLanguage").toString(), "deu");
    QTest::keyClick(language->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(language->lineEdit(), "eng+deu");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(Stored("RecogniseLanguage").toString(), "eng+deu");
    EXPECT_EQ(desk.state.settings.recogniseLanguage, "eng+deu");
    EXPECT_EQ(desk.state.settings.recognisePdfText, 1u);
}

TEST(ConfigureDialog, SelectButtonRunsThePaintProgramDialogAndStaysOpen) {
    HelpDesk desk;
    desk.state.settings.paintProgram = "/opt/tools/paint";
    app::ConfigureDialog dialog(nullptr, desk.state);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QString seenTitle, seenPath;
    QWidget* seenFocus = nullptr;
    QTimer::singleShot(100, [&] {
        auto* inner = qobject_cast<app::SelectPaintProgramDialog*>(QApplication::activeModalWidget());
        if (!inner) return;
        seenTitle = inner->windowTitle();
        seenPath = inner->pathEdit()->text();
        seenFocus = QApplication::focusWidget() == inner->browseButton() ? inner->browseButton() : nullptr;
        QTest::keyClick(inner, Qt::Key_Escape);
    });
    QTest::mouseClick(dialog.selectButton(), Qt::LeftButton);
    EXPECT_EQ(seenTitle, "Select Paint Program");
    EXPECT_EQ(seenPath, "/opt/tools/paint");
    EXPECT_NE(seenFocus, nullptr) << "the focus starts on Browse";
    EXPECT_TRUE(dialog.isVisible());
}

TEST(SelectPaintProgram, BrowseFillsThePathAndApplyStoresIt) {
    HelpDesk desk;
    desk.state.settings.paintProgram = "/opt/tools/paint";
    desk.prompts.files = {"/usr/bin/mtpaint"};
    app::SelectPaintProgramDialog dialog(nullptr, desk.state);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(dialog.browseButton()->isDefault());
    QTest::keyClick(dialog.pathEdit(), Qt::Key_Return);  // Enter: the default button, Browse
    ASSERT_EQ(desk.prompts.dialogs.size(), 1u);
    const app::FileDialogSpec& spec = desk.prompts.dialogs[0].spec;
    EXPECT_FALSE(desk.prompts.dialogs[0].save);
    EXPECT_EQ(spec.title, "Select a Program to View/Edit Bitmap Files");
    EXPECT_EQ(spec.startFolder, "/opt/tools");
    EXPECT_EQ(spec.fileName, "/opt/tools/paint");
    EXPECT_EQ(spec.filters, (QStringList{"Bitmap Viewer/Editor (*)", "All Files (*)"}));
    EXPECT_TRUE(spec.programsFirst);
    EXPECT_EQ(dialog.pathEdit()->text(), "/usr/bin/mtpaint");
    EXPECT_EQ(QApplication::focusWidget(), dialog.applyButton());
    EXPECT_EQ(Stored("PaintProgram").toString(), "") << "nothing stored before Apply";

    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);  // cancelled: nothing changes
    EXPECT_EQ(dialog.pathEdit()->text(), "/usr/bin/mtpaint");
    QTest::mouseClick(dialog.applyButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Stored("PaintProgram").toString(), "/usr/bin/mtpaint");
    EXPECT_EQ(desk.state.settings.paintProgram, "/usr/bin/mtpaint");
}

TEST(SelectPaintProgram, EmptyPathIsStoredAndEscapeStoresNothing) {
    HelpDesk desk;
    app::WriteText(app::kConfigure, "PaintProgram", "/opt/tools/paint");
    for (bool apply : {false, true}) {
        desk.state.settings.paintProgram = "/opt/tools/paint";
        app::SelectPaintProgramDialog dialog(nullptr, desk.state);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        dialog.pathEdit()->clear();
        if (apply)
            QTest::mouseClick(dialog.applyButton(), Qt::LeftButton);
        else
            QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        const QVariant stored = Stored("PaintProgram");
        ASSERT_TRUE(stored.isValid());
        EXPECT_EQ(stored.toString(), apply ? "" : "/opt/tools/paint");
        EXPECT_EQ(desk.state.settings.paintProgram, apply ? "" : "/opt/tools/paint");
    }
}
