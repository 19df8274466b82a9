#include "viewer/file_commands.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>
#include <system_error>

#include "formats/fax_check.h"
#include "formats/file_io.h"
#include "platform/shell.h"
#include "viewer/fax_host.h"
#include "viewer/viewer_state.h"

namespace app {

namespace {

namespace fs = std::filesystem;

// Whole files are copied through one buffer of this size.
constexpr std::size_t kFileCopyPiece = 64 * 1024;

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

bool SameFile(const QString& a, const QString& b) { return fax::SameFile(Native(a), Native(b)); }

bool CopyFileReplacing(const QString& source, const QString& target) {
    // A copy keeps the source's permissions, as a move would.
    fax::File in = fax::File::OpenRead(Native(source));
    return in && fax::CopyToFile(in, Native(target), kFileCopyPiece, false);
}

bool MoveFileReplacing(const QString& source, const QString& target) {
    std::error_code ec;
    // A rename replaces whatever stands at the target, so only a regular file (or none)
    // is replaced that way; a link, FIFO or device is written through like a copy.
    fs::file_status at = fs::symlink_status(fs::path(Native(target)), ec);
    if (!fs::exists(at) || fs::is_regular_file(at)) {
        fs::rename(fs::path(Native(source)), fs::path(Native(target)), ec);
        if (!ec) return true;
        if (ec != std::errc::cross_device_link) return false;
    }
    // Copied (another file system, or a target written through): the source goes only
    // once its copy is complete. Should it refuse to go, the file exists twice, which
    // loses nothing.
    if (!CopyFileReplacing(source, target)) return false;
    fax::RemoveFile(Native(source));
    return true;
}

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
