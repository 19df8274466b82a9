#include "viewer/file_commands.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/fax_host.h"
#include "app/file_copy.h"
#include "app/viewer_state.h"
#include "formats/fax_check.h"
#include "formats/file_io.h"
#include "platform/shell.h"

namespace app {

namespace {

namespace fs = std::filesystem;

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromNative(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

bool IsFile(const QString& path) { return !path.isEmpty() && fax::FileExists(Native(path)); }

// A target name is usable when a file can be created beside it (the way it will be
// written) and it is not a folder. Nothing is created under the target's own name, so
// an existing target survives the test.
bool CanCreate(const QString& target) {
    std::error_code ec;
    if (fs::is_directory(fs::path(Native(target)), ec)) return false;
    fax::AtomicFile probe(Native(target));
    bool ok = probe.Open();
    probe.Discard();
    return ok;
}

}  // namespace

FileCommands::FileCommands(FaxHost& host) : host_(host) {}

void FileCommands::error(const QString& text) {
    prompts().show(host_.window(), kProductName, text, Icon::Error);
}

FileDialogSpec FileCommands::dialogSpec(const QString& title, bool presetCurrentFax) {
    ViewerState& state = host_.state();
    if (!IsFile(state.currentFax) || !state.currentFax.contains(QLatin1Char('/'))) state.currentFax.clear();
    FileDialogSpec spec;
    spec.title = title;
    spec.startFolder = state.currentFax.isEmpty() ? state.faxDir : QFileInfo(state.currentFax).absolutePath();
    if (presetCurrentFax) spec.fileName = state.currentFax;
    spec.filters = FaxFileFilters();
    spec.defaultSuffix = QStringLiteral("dcx");
    return spec;
}

void FileCommands::open() {
    QString path = prompts().openFile(host_.window(), dialogSpec(QStringLiteral("Select Fax"), false));
    if (path.isEmpty()) return;
    fax::FaxCheck check = fax::CheckFaxFile(Native(path));
    if (!check.ok()) {
        prompts().ask(host_.window(), kProductName, FromNative(check.message), Icon::None, Ok, Ok);
        return;
    }
    host_.showNewFile(path);
}

void FileCommands::copy() { transfer(Operation::Copy); }

void FileCommands::moveAs() { transfer(Operation::Move); }

void FileCommands::transfer(Operation op) {
    const bool move = op == Operation::Move;
    QString source = prompts().openFile(
        host_.window(), dialogSpec(move ? QStringLiteral("Move Fax From") : QStringLiteral("Copy Fax From"), true));
    if (source.isEmpty()) return;
    QString target = prompts().saveFile(
        host_.window(), dialogSpec(move ? QStringLiteral("Move Fax To") : QStringLiteral("Copy Fax To"), false));
    if (target.isEmpty()) return;

    if (SameFile(source, target)) {
        error(QStringLiteral("Can not Copy:\n%1\nto:\n%2\nbecause they are the same.").arg(source, target));
        return;
    }
    if (!IsFile(source)) {
        error(QStringLiteral("Error Opening Source FileName:\n%1").arg(source));
        return;
    }
    if (IsFile(target) &&
        !prompts().yesNo(host_.window(), kProductName,
                         QStringLiteral("File:\n%1\nalready exists. Over-Write it?").arg(target))) {
        return;
    }
    if (!CanCreate(target)) {
        error(QStringLiteral("Can not Create:\n%1\n\nYou may have specified an invalid path or filename.\n\n"
                             "Is your disk full?")
                  .arg(target));
        return;
    }

    // The shown fax may be the source or the target: let go of it before touching either.
    host_.releaseFax();
    host_.setPlainTitle();

    bool done = move ? MoveFileReplacing(source, target) : CopyFileReplacing(source, target);
    if (!done) {
        error(QStringLiteral("FV1, The whole file could not be copied from::\n%1\ncould not be copied to:\n%2\n\n"
                             "You may have specified an invalid path or filename.\n\nIs your disk full?")
                  .arg(source, target));
        return;
    }
    host_.showNewFile(target);
}

void FileCommands::remove() {
    ViewerState& state = host_.state();
    if (!IsFile(state.currentFax)) return;
    if (!prompts().yesNo(host_.window(), kProductName,
                         QStringLiteral("Are you sure that you want to Delete:\n%1").arg(state.currentFax), No)) {
        return;
    }
    host_.releaseFax();
    DiscardFile(state.currentFax);
    state.currentFax.clear();
    host_.setPlainTitle();
}

}  // namespace app
