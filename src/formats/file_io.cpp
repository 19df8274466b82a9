#include "formats/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace fax {

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File File::OpenRead(const std::string& path) {
    if (path.empty()) return File();
    return File(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

File File::OpenReadWrite(const std::string& path) {
    if (path.empty()) return File();
    return File(::open(path.c_str(), O_RDWR | O_CLOEXEC));
}

File File::Create(const std::string& path) {
    if (path.empty()) return File();
    return File(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR));
}

std::int64_t File::Read(void* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd_, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool File::WriteAll(const void* data, std::size_t size) {
    if (fd_ < 0) return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Seek(std::uint64_t offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::SeekEnd() { return fd_ >= 0 && ::lseek(fd_, 0, SEEK_END) >= 0; }

std::int64_t File::Tell() const { return fd_ < 0 ? -1 : ::lseek(fd_, 0, SEEK_CUR); }

std::int64_t File::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

bool File::Sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }

void File::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
    return st.st_size;
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

namespace {
std::string TempNameFor(const std::string& target) {
    auto slash = target.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + name + "." + std::to_string(::getpid()) + ".part";
}
}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)), temp_(TempNameFor(target_)) {}

AtomicFile::~AtomicFile() {
    if (!done_) Discard();
}

bool AtomicFile::Open() {
    done_ = false;
    file_ = File::Create(temp_);
    return file_.IsOpen();
}

void AtomicFile::KeepTargetMode() {
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::chmod(temp_.c_str(), st.st_mode & 07777);
}

bool AtomicFile::Commit(bool flush) {
    if (done_ || !file_.IsOpen()) return false;
    bool ok = !flush || file_.Sync();
    file_.Close();
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
        done_ = true;
        return true;
    }
    Discard();
    return false;
}

void AtomicFile::Discard() {
    file_.Close();
    if (!done_) ::unlink(temp_.c_str());
    done_ = true;
}

void AtomicFile::KeepIfNew() {
    if (done_) return;
    file_.Close();
    // link() never replaces an existing name, unlike rename().
    if (::link(temp_.c_str(), target_.c_str()) == 0) {
        ::unlink(temp_.c_str());
        done_ = true;
        return;
    }
    Discard();
}

}  // namespace fax
