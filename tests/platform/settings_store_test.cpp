#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTimer>

#include "platform/pump_wait.h"
#include "platform/settings_store.h"
#include "support/test_files.h"

using namespace app;

namespace {
// Points the store at a fresh folder for one test.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_.path())); }
    void Raw(const QString& key, const QString& value) {
        QSettings s(SettingsPath(), QSettings::IniFormat);
        s.setValue(key, value);
    }
    QString RawValue(const QString& key) {
        QSettings s(SettingsPath(), QSettings::IniFormat);
        return s.value(key).toString();
    }
    testing_support::TempDir dir_;
};
}  // namespace

TEST_F(StoreTest, LivesUnderXdgConfigHome) {
    EXPECT_EQ(SettingsPath(), QString::fromStdString(dir_.path()) + "/Quorvane/Applications/Tarvex.conf");
    WriteText(kConfigure, "PaintProgram", "mtpaint");
    EXPECT_TRUE(QFile::exists(SettingsPath()));
    EXPECT_EQ(RawValue("Configure/PaintProgram"), "mtpaint");
}

TEST_F(StoreTest, DefaultsAndNumberParsing) {
    Settings s;
    s.Load("/opt/Tarvex");
    EXPECT_EQ(s.openMax, 1u);
    EXPECT_EQ(s.winX, 100);
    EXPECT_EQ(s.dither, 2);
    EXPECT_EQ(s.dftFax, "/opt/Tarvex/sample.dcx");
    EXPECT_EQ(s.installingTheProgram, 1u);
    EXPECT_EQ(s.recognisePdfText, 0u);
    EXPECT_EQ(s.recogniseLanguage, "eng");

    Raw("Configure/OpenMax", "0x1");
    Raw("Configure/WinX", "-35px");
    Raw("Configure/WinY", "junk");
    Raw("Configure/ScalingFactor", "257");
    Raw("Configure/FileNameDCX", "017");
    Raw("Configure/DftFax", "");  // empty counts as not set
    Raw("Configure/PrintFaxPrnDrv", QString(300, 'p'));
    Raw("Configure/RecognisePdfText", "1");
    Raw("Configure/RecogniseLanguage", "");  // not set: English
    Settings t;
    t.Load("/p");
    EXPECT_EQ(t.openMax, 1u);
    EXPECT_EQ(t.winX, -35);
    EXPECT_EQ(t.winY, 0);
    EXPECT_EQ(t.scalingFactor, 1);
    EXPECT_EQ(t.fileNameDcx, 15u);  // octal
    EXPECT_EQ(t.dftFax, "/p/sample.dcx");
    EXPECT_EQ(t.printFaxPrnDrv.size(), 180);  // a 181-character buffer
    EXPECT_EQ(t.recognisePdfText, 1u);
    EXPECT_EQ(t.recogniseLanguage, "eng");
}

TEST_F(StoreTest, PathsAndProgramsComeBackWhole) {
    // 259 characters fitted the old buffer; 260 and far beyond must come back too.
    for (int length : {259, 260, 1000}) {
        const QString path = "/" + QString(length - 1, 'd');
        Raw("Configure/DftFax", path);
        Raw("Configure/PaintProgram", path + "-paint");
        Raw("Configure/ThisProgramDir", path + "-dir");
        Settings s;
        s.Load("/p");
        EXPECT_EQ(s.dftFax, path) << length;
        EXPECT_EQ(s.paintProgram, path + "-paint") << length;
        EXPECT_EQ(ReadText(kConfigure, "ThisProgramDir"), path + "-dir") << length;
    }
}

TEST_F(StoreTest, ExitWritesExactlyTheExitValues) {
    Settings s;
    s.dftFax = "/f/a.dcx";
    s.winX = 10, s.winY = 20, s.winCX = 810, s.winCY = 620;
    s.openMax = 0;  // not an exit value
    s.SaveAtExit();
    QSettings raw(SettingsPath(), QSettings::IniFormat);
    raw.beginGroup("Configure");
    QStringList keys = raw.childKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"DftFax", "InstallingTheProgram", "WinCX", "WinCY", "WinX", "WinY"}));
    EXPECT_EQ(raw.value("InstallingTheProgram").toString(), "0");
    EXPECT_EQ(raw.value("WinCY").toString(), "620");
}

TEST_F(StoreTest, FaxNumbersWrapAndSkipExistingNames) {
    Settings s;
    s.fileNameDcx = 99999998;
    EXPECT_EQ(NextFaxNumber(s), 99999999u);
    EXPECT_EQ(NextFaxNumber(s), 0u);
    EXPECT_EQ(NextFaxNumber(s), 1u);
    EXPECT_EQ(RawValue("Configure/FileNameDCX"), "1");  // written at once

    testing_support::TempDir faxes;
    QString dir = QString::fromStdString(faxes.path());
    testing_support::WriteBytes(faxes.File("00000002.dcx"), {1});
    testing_support::WriteBytes(faxes.File("00000003.dcx"), {1});
    EXPECT_EQ(NewFaxName(dir, s), dir + "/00000004.dcx");
    EXPECT_EQ(s.fileNameDcx, 4u);  // each try consumed a number
}

TEST_F(StoreTest, TransHandleKeepsTheLastValueSeen) {
    std::int32_t last = 0;
    EXPECT_EQ(ReadTransHandle(last), 0);
    WriteTransHandle(4242);
    EXPECT_EQ(ReadTransHandle(last), 4242);
    QSettings(SettingsPath(), QSettings::IniFormat).remove("Handles/TransHandle");  // deleted by hand
    EXPECT_EQ(ReadTransHandle(last), 4242);
    WriteTransHandle(0);
    EXPECT_EQ(RawValue("Handles/TransHandle"), "0");  // written as 0, never deleted
}

TEST(PumpWait, KeepsEventsFlowingAndEndsEarlyWhenClosing) {
    bool fired = false;
    QTimer::singleShot(5, [&] { fired = true; });
    PumpWait(30);
    EXPECT_TRUE(fired);

    QTimer::singleShot(10, [] { SetShuttingDown(true); });
    QElapsedTimer t;
    t.start();
    PumpWait(3000);
    EXPECT_LT(t.elapsed(), 1500);
    t.restart();
    PumpWait(50, true);  // even when closing
    EXPECT_GE(t.elapsed(), 50);
    SetShuttingDown(false);
}
