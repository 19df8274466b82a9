#include "app/file_copy.h"

#include <QFile>
#include <filesystem>
#include <string>
#include <system_error>

#include "formats/file_io.h"

namespace app {

namespace {

namespace fs = std::filesystem;

// Whole files are copied through one buffer of this size.
constexpr std::size_t kFileCopyPiece = 64 * 1024;

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

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

}  // namespace app
