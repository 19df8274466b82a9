// The main window's test fixture: a window started offscreen with scripted prompts and a
// settings store of its own in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QSettings>
#include <memory>

#include "formats/pcx.h"
#include "platform/pump_wait.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "support/test_files.h"
#include "viewer/main_window.h"
#include "viewer/page_view.h"

namespace viewer_test {

using namespace app;
using namespace testing_support;

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetShuttingDown(false);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path()));
        programDir_ = Q(program_.path()) + "/Tarvex";
        WriteText(kConfigure, "ThisProgramDir", programDir_);
        WriteText(kConfigure, "OpenMax", "0");
        savedCwd_ = QDir::currentPath();
    }
    void TearDown() override {
        window_.reset();
        QDir::setCurrent(savedCwd_);
        SetShuttingDown(false);
    }

    // Starts a window and lets it run until the posted commands are done.
    MainWindow& Start(const QString& commandLine = {}, int desktopWidth = 1024, const QString& findText = {}) {
        state_ = ViewerState{};
        state_.commandLine = commandLine;
        state_.findText = findText;
        state_.startDir = Q(files_.path());
        window_ = std::make_unique<MainWindow>(state_);
        window_->setDesktopWidth(desktopWidth);
        window_->start();
        Settle();
        return *window_;
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    void Command(int id) {
        window_->postCommand(id);
        Settle();
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(window_->pageView()->viewport(), &press);
        Settle();
    }
    std::string Fax(const std::string& name, unsigned pages, unsigned lines = 60) {
        std::vector<Bytes> pcx;
        for (unsigned i = 0; i < pages; ++i) pcx.push_back(MakePcx(PatternPage(216, lines + i, i), 216));
        WriteBytes(files_.File(name), pages == 1 && name.ends_with(".pcx") ? pcx[0] : MakeDcx(pcx));
        return files_.File(name);
    }
    QString Raw(const QString& key) {
        return QSettings(SettingsPath(), QSettings::IniFormat).value(key).toString();
    }

    TempDir config_, program_, files_;
    QString programDir_, savedCwd_;
    ViewerState state_;
    std::unique_ptr<MainWindow> window_;
    ScriptedPrompts prompts_;
};

}  // namespace viewer_test
