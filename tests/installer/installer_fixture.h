// A temporary home for the installer: every XDG folder, the all-users places, /opt and the
// settings point into it; prompts are scripted, pauses recorded, programs not started.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <vector>

#include "installer/installer_env.h"
#include "installer/payload.h"
#include "platform/scripted_prompts.h"
#include "support/test_files.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
namespace installer_test {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

struct Started {
    QString program;
    QStringList arguments;
    QString workingFolder;
};

class RecordingLauncher : public inst::Launcher {
public:
    bool start(const QString& program, const QStringList& arguments, const QString& workingFolder) override {
        started.push_back({program, arguments, workingFolder});
        return true;
    }
    std::vector<Started> started;
};

// A payload view that remembers what it was shown.
class RecordingView : public inst::PayloadView {
public:
    void showProgress(const QString& bar) override { bars << bar; }
    void showSource(const QString& text) override { sources << text; }
    void showDestination(const QString& text) override { destinations << text; }
    QWidget* owner() override { return nullptr; }
    QStringList bars, sources, destinations;
};

class InstallerHome : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString home() const { return Q(home_.path()); }
    QString path(const QString& rel) const { return home() + QLatin1Char('/') + rel; }
    // The environment for a program run in this home (xdg-mime, desktop-file-validate, the viewer).
    QStringList environment() const;
    // Runs a command line with this home's environment; returns its exit status.
    int Shell(const QString& command, QString* output = nullptr) const;
    // Writes the installed viewer's marker file so a folder counts as an installation.
    void FakeInstallation(const QString& folder) const;
    // The pauses so far, and forgets them.
    std::vector<int> TakePauses();

    testing_support::TempDir home_;
    app::ScriptedPrompts prompts_;
    RecordingLauncher launcher_;
    std::vector<int> pauses_;
    QString savedCwd_;
};

// Drops root's right to ignore file permissions for its lifetime, so read-only files are
// read-only to the test too.
class HonourPermissions {
public:
    HonourPermissions();
    ~HonourPermissions();

private:
    struct Caps;
    Caps* saved_ = nullptr;
};

// The self-copy of the last payload step in these tests: this test program.
QString SelfPath();

}  // namespace installer_test
