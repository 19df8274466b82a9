#include "formats/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

namespace fax {

namespace {
// New files get what every program gives them: read and write for all, less the umask.
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int OpenRegularFd(const std::string& path, int flags) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Non-blocking, so that a FIFO without a writer cannot hold us up; the type is checked
    // on the open descriptor, so it cannot change between look and open.
    int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, static_cast<mode_t>(kNewFileMode));
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int error = S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
        ::close(fd);
        errno = error;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool AbsentOrWritable(const std::string& path) {
    const int fd = OpenRegularFd(path, O_WRONLY);
    if (fd < 0) return errno == ENOENT;
    ::close(fd);
    return true;
}

bool CopyToFile(File& source, const std::string& target, std::size_t piece, bool keepTime) {
    struct stat st {};
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[piece]);
    if (!buffer || !source || ::fstat(source.fd_, &st) != 0) return false;
    AtomicFile out(target);
    if (!out.Open()) return false;
    for (;;) {
        const std::int64_t n = source.Read(buffer.get(), piece);
        if (n < 0 || !out.file().WriteAll(buffer.get(), static_cast<std::size_t>(n))) return false;
        if (static_cast<std::size_t>(n) < piece) break;
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    if (::fchmod(out.file().fd_, st.st_mode & 07777) != 0 || (keepTime && ::futimens(out.file().fd_, times) != 0))
        return false;
    return out.Commit();
}

File File::OpenRead(const std::string& path) { return File(OpenRegularFd(path, O_RDONLY)); }

File File::OpenReadWrite(const std::string& path) { return File(OpenRegularFd(path, O_RDWR)); }

File File::Create(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return File();
    }
    return File(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode));
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

File File::CreateUnnamed(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return File(fd);
    std::string name = folder + "/.vantorel-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return File(fd);
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

bool File::Truncate(std::uint64_t size) { return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0; }

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

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

namespace {
namespace fs = std::filesystem;

// The absolute path with "." and ".." resolved and the existing part's links followed.
fs::path Normalised(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) return path.lexically_normal();
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}
}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    const fs::path pa(a), pb(b);
    std::error_code ea, eb;
    bool existsA = fs::exists(pa, ea);
    bool existsB = fs::exists(pb, eb);
    if (existsA && existsB) {
        std::error_code ec;
        bool same = fs::equivalent(pa, pb, ec);
        if (!ec) return same;
    }
    if (existsA != existsB) return false;
    return Normalised(pa) == Normalised(pb);
}

namespace {
std::atomic<unsigned> g_tempCounter{0};

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    return dir.back() == '/' ? dir : dir + "/";
}
}  // namespace

// A fresh name in `dir` (with its slash) that nobody else is using, created with `mode`.
File AtomicFile::CreateTemp(const std::string& dir, const std::string& name, unsigned mode, std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = dir + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++) + ".part";
        int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0) return File(fd);
        if (errno != EEXIST) return File();
    }
    return File();
}

namespace {
// Whether `rest` is what CreateTemp puts after the name, once or more: "PID-N.part", each
// further one after a dot.
bool TempSuffixes(std::string_view rest) {
    auto digits = [&rest](std::size_t from) {
        while (from < rest.size() && std::isdigit(static_cast<unsigned char>(rest[from]))) ++from;
        return from;
    };
    while (true) {
        const std::size_t dash = digits(0);
        if (dash == 0 || rest.substr(dash, 1) != "-") return false;
        const std::size_t end = digits(dash + 1);
        if (end == dash + 1 || rest.substr(end, 5) != ".part") return false;
        rest.remove_prefix(end + 5);
        if (rest.empty()) return true;
        if (rest.front() != '.') return false;
        rest.remove_prefix(1);
    }
}
}  // namespace

unsigned AtomicFile::RemoveLeftovers(const std::string& target) {
    const fs::path path(target);
    const std::string name = path.filename().string();
    std::error_code ec;
    unsigned removed = 0;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::string_view entry = file;
        // ".NAME.PID-N.part", or "..NAME.PID-N.part.PID-M.part" for a temporary file's own.
        bool leftover = false;
        for (std::size_t dots = 1; !leftover && dots < entry.size() && entry[dots - 1] == '.'; ++dots)
            leftover = entry.substr(dots, name.size()) == name && entry.substr(dots + name.size(), 1) == "." &&
                       TempSuffixes(entry.substr(dots + name.size() + 1));
        if (!leftover) continue;
        std::error_code rc;
        if (!it->is_directory(rc) && fs::remove(it->path(), rc)) ++removed;
    }
    return removed;
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    if (!done_) Discard();
}

bool AtomicFile::Fail(int error) {
    error_ = std::strerror(error ? error : EIO);
    return false;
}

bool AtomicFile::Open() {
    Discard();
    error_.clear();
    done_ = false;
    inPlace_ = false;
    dest_ = target_;
    if (target_.empty()) return Fail(ENOENT);
    struct stat link {}, st {};
    if (::lstat(target_.c_str(), &link) == 0) {
        if (::stat(target_.c_str(), &st) != 0) return Fail(errno);  // a link to nothing
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
            inPlace_ = true;
        } else if (!S_ISREG(st.st_mode)) {
            return Fail(S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP);
        } else if (S_ISLNK(link.st_mode)) {
            char* real = ::realpath(target_.c_str(), nullptr);
            if (!real) return Fail(errno);
            dest_ = real;
            std::free(real);
        }
    } else if (errno != ENOENT) {
        return Fail(errno);
    }
    auto slash = dest_.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : dest_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? dest_ : dest_.substr(slash + 1);
    // A device's folder is no place for our file; its content waits in the temp folder.
    file_ = CreateTemp(inPlace_ ? TempFolder() : dir, inPlace_ ? "tarvex-out" : name, kNewFileMode, temp_);
    if (!file_) {
        done_ = true;
        return Fail(errno);
    }
    // A replaced file keeps its permissions.
    replacing_ = !inPlace_ && S_ISREG(st.st_mode);
    if (replacing_) ::fchmod(file_.fd_, st.st_mode & 07777);
    return true;
}

bool AtomicFile::Commit(bool flush) {
    if (done_ || !file_.IsOpen()) return false;
    if (inPlace_) {
        // A FIFO nobody reads from is refused at once (ENXIO) rather than waited on.
        File out(file_.Seek(0) ? ::open(dest_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK) : -1);
        bool ok = out.IsOpen();
        if (ok) ::fcntl(out.fd_, F_SETFL, ::fcntl(out.fd_, F_GETFL) & ~O_NONBLOCK);
        char buffer[64 * 1024];
        for (std::int64_t n = 1; ok && n > 0;) {
            n = file_.Read(buffer, sizeof buffer);
            ok = n >= 0 && out.WriteAll(buffer, static_cast<std::size_t>(n));
        }
        int error = ok ? 0 : errno;
        if (ok && ::close(std::exchange(out.fd_, -1)) != 0) {
            ok = false;
            error = errno;
        }
        Discard();
        return ok || Fail(error);
    }
    // An old file is only given up for content that is safely on the disk.
    bool ok = !replacing_ || !flush || file_.Sync();
    int error = errno;
    // close() is where a network or full disk may report a write it could not finish.
    if (::close(std::exchange(file_.fd_, -1)) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp_.c_str(), dest_.c_str()) == 0) {
        done_ = true;
        return true;
    }
    if (ok) error = errno;
    Discard();
    return Fail(error);
}

void AtomicFile::Discard() {
    file_.Close();
    if (!done_) ::unlink(temp_.c_str());
    done_ = true;
}

void AtomicFile::KeepIfNew() {
    if (done_) return;
    // A late write error reported by close() means the content is not all there.
    const bool closed = ::close(std::exchange(file_.fd_, -1)) == 0;
    // link() never replaces an existing name, unlike rename(); a device gets nothing.
    if (closed && !inPlace_ && ::link(temp_.c_str(), dest_.c_str()) == 0) {
        ::unlink(temp_.c_str());
        done_ = true;
        return;
    }
    Discard();
}

}  // namespace fax
