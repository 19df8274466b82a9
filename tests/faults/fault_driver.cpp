// The window's writers run one at a time without a window, so the fault tests can run
// them under the preload library and kill them at any moment:
//   fault_driver accum-save ACCUMDIR FAX       Fax-Accumulator Save of every page of FAX
//   fault_driver accum-convert ACCUMDIR FAXDIR Fax-Accumulator Convert into a new fax in FAXDIR
//   fault_driver copy SOURCE TARGET            File > Copy, answering Yes to Over-Write
//   fault_driver move SOURCE TARGET            File > MoveAs, answering Yes to Over-Write
//   fault_driver zoomedit FAX PAGE EDITOR      Zoom/Edit of one page, EDITOR the paint program
//                                              (a command line), in a private program folder
//   fault_driver setting CONFIGDIR NAME VALUE  one value into the settings store
//   fault_driver payload FOLDER SELF           the installer's payload into FOLDER, SELF standing
//                                              for the installer's own file
// The messages shown go to stderr. Exit 0 only when the writer finished with no error
// shown, 1 otherwise, 2 for a wrong command line. Settings go to a private folder unless
// the command is `setting`.
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>

#include "app/fax_host.h"
#include "app/viewer_state.h"
#include "formats/dcx.h"
#include "formats/file_io.h"
#include "installer/installer_env.h"
#include "installer/payload.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "tools/fax_accumulator.h"
#include "tools/tool_commands.h"
#include "viewer/file_commands.h"
#include "zoomedit/zoom_edit_command.h"

namespace {

class Host : public app::FaxHost {
public:
    QWidget* window() override { return nullptr; }
    app::ViewerState& state() override { return state_; }
    void releaseFax() override {}
    bool showNewFile(const QString& path) override { return fax::File::OpenRead(path.toStdString()).IsOpen(); }
    void setPlainTitle() override {}

private:
    app::ViewerState state_;
};

class QuietView : public inst::PayloadView {
public:
    void showProgress(const QString&) override {}
    void showSource(const QString&) override {}
    void showDestination(const QString&) override {}
    QWidget* owner() override { return nullptr; }
};

// Every message shown, on stderr; true when one of them was an error.
bool ReportMessages(const app::ScriptedPrompts& prompts) {
    bool error = false;
    for (const auto& r : prompts.asked) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(r.title), qPrintable(r.text));
        error |= r.icon == app::Icon::Error;
    }
    return error;
}

bool Run(const QStringList& a, app::ScriptedPrompts& prompts) {
    const QString command = a.value(0);
    if (command == "accum-save" && a.size() == 3) {
        Host host;
        host.state().accumDir = a[1];
        fax::File fax = fax::File::OpenRead(a[2].toStdString());
        const auto pages = fax::ReadDcxPages(fax, a[2].toStdString()).extents.size();
        const unsigned before = fax::AccumulatorCount(a[1].toStdString());
        app::AccumulatorSave(nullptr, host.state(), a[2]);
        // Save itself is silent about a page it could not write; every page must be there.
        return fax::AccumulatorCount(a[1].toStdString()) == before + pages;
    }
    if (command == "accum-convert" && a.size() == 3) {
        Host host;
        host.state().accumDir = a[1];
        host.state().faxDir = a[2];
        return app::AccumulatorConvert(nullptr, host.state());
    }
    if ((command == "copy" || command == "move") && a.size() == 3) {
        Host host;
        prompts.files = {a[1], a[2]};
        prompts.answers = {app::Yes};
        app::FileCommands files(host);
        command == "copy" ? files.copy() : files.moveAs();
        return true;
    }
    if (command == "zoomedit" && a.size() == 4) {
        // The work files and the editor's own go to a program folder of the run's own.
        QTemporaryDir programDir(QDir::tempPath() + "/fault-driver-XXXXXX");
        app::ZoomEditCommand edit(nullptr, programDir.path(), a[1], a[2].toUInt(), a[3]);
        edit.quickExitMs = 0;
        return edit.Run();
    }
    if (command == "setting" && a.size() == 4) {
        qputenv("XDG_CONFIG_HOME", a[1].toLocal8Bit());
        return app::WriteText(app::kConfigure, a[2], a[3]);
    }
    if (command == "payload" && a.size() == 3) {
        QuietView view;
        inst::setPauseHook([](int) {});  // the steps' pauses only pace the progress bar
        return inst::WritePayload(view, a[1], a[2]);
    }
    std::fprintf(stderr, "usage: see the head of fault_driver.cpp\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir config(QDir::tempPath() + "/fault-driver-XXXXXX");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication qt(argc, argv);
    app::ScriptedPrompts prompts;
    const bool ok = Run(QCoreApplication::arguments().mid(1), prompts);
    const bool error = ReportMessages(prompts);
    return ok && !error ? 0 : 1;
}
