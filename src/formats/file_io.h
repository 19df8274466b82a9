// Binary file access for the core: one RAII handle over a POSIX descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fax {

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing regular file for binary reading. A folder, FIFO or device is
    // refused at once, without waiting for a writer: errno is then EISDIR for a folder
    // and ENOTSUP for anything else.
    static File OpenRead(const std::string& path);
    // The same for reading and writing: also refuses a file the user may not change.
    static File OpenReadWrite(const std::string& path);
    // Creates the file, truncating an existing one, with the permissions every program
    // gives a new file (0666 less the umask).
    static File Create(const std::string& path);
    // An unnamed file for reading and writing in `folder`, gone when closed whatever ends
    // the program (where the file system makes no unnamed files, one is named and removed
    // at once). Not open when none can be made, errno saying why.
    static File CreateUnnamed(const std::string& folder);

    bool IsOpen() const { return fd_ >= 0; }
    explicit operator bool() const { return IsOpen(); }

    // Reads up to `size` bytes, retrying short reads until the end of the file.
    // Returns the count read (less than `size` only at the end of the file) or -1 on error.
    std::int64_t Read(void* buffer, std::size_t size);
    // Writes every byte or fails.
    bool WriteAll(const void* data, std::size_t size);
    bool Seek(std::uint64_t offset);
    bool SeekEnd();
    std::int64_t Tell() const;
    std::int64_t Size() const;
    // Flushes to the disk (used before renaming a finished file over an old one).
    bool Sync();
    bool Truncate(std::uint64_t size);
    void Close();

private:
    friend class AtomicFile;
    friend bool CopyToFile(File& source, const std::string& target, std::size_t piece, bool keepTime);
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// open(2) that gives a descriptor only for a regular file: a folder, FIFO or device is
// refused at once (errno EISDIR or ENOTSUP) instead of blocking or swallowing data. Files it
// creates get 0666 less the umask. -1 otherwise.
int OpenRegularFd(const std::string& path, int flags);

// True when no file is at `path` or it is a regular file this process may open for writing
// (it is opened and closed again, unchanged): where a read-only file must stay as it is
// although its replacement is written beside it and renamed over it.
bool AbsentOrWritable(const std::string& path);

// Copies `source` from its current position to its end into `target` through an
// AtomicFile (pieces of `piece` bytes), giving the copy the source's permissions and, with
// `keepTime`, its modification time. An old target stays whole unless the copy is complete.
bool CopyToFile(File& source, const std::string& target, std::size_t piece, bool keepTime);

bool FileExists(const std::string& path);  // a regular file (links followed)
bool PathExists(const std::string& path);  // anything at all: file, folder, FIFO, device
std::int64_t FileSize(const std::string& path);  // -1 when it cannot be read
bool RemoveFile(const std::string& path);
// The same file on disk (links followed); for a path that does not exist yet, the same
// absolute, normalised path.
bool SameFile(const std::string& a, const std::string& b);

// Every output goes through here, so nothing broken ever stands under an output's name.
// It is written into a temporary file and only a complete one reaches the target:
// - a new name or a regular file: the temporary file lies beside it and is renamed over
//   it (an existing file's permissions are kept);
// - a symbolic link: the file it names is replaced the same way, the link stays;
// - a FIFO or a device (/dev/stdout): the finished content is written into it in place
//   (a FIFO that nobody reads from fails at once instead of waiting);
// - anything else (a folder, a socket, a link to nothing) is refused by Open().
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Open();  // creates the temporary file; false with error() saying why
    File& file() { return file_; }
    const std::string& target() const { return target_; }
    const std::string& tempPath() const { return temp_; }
    // Why Open() or Commit() failed, in the system's words ("Is a directory", "No space
    // left on device").
    const std::string& error() const { return error_; }
    // Closes and puts the content in place. A replaced file keeps its permission bits, and
    // is given up only for content synced to the disk first, unless `flush` is false (a
    // work file nobody needs after a crash).
    bool Commit(bool flush = true);
    // Does now, on any thread, the sync that Commit would do (a replaced file's content);
    // a Commit(false) may then follow with nothing written in between. False when the
    // sync failed, errno saying why.
    bool SyncForCommit() { return done_ || inPlace_ || !replacing_ || file_.Sync(); }
    void Discard();  // closes and removes the temporary file
    // Keeps what was written under the target's name only when no file of that
    // name exists (a partial new file is better than nothing; an old file is kept) and
    // closing reported no lost write.
    void KeepIfNew();
    // Removes the temporary files that writers of `target` left beside it when they were
    // killed (also those of a writer that itself wrote into such a temporary file). Only
    // for a target that no other process is writing now. Returns how many were removed.
    static unsigned RemoveLeftovers(const std::string& target);

private:
    bool Fail(int error);
    static File CreateTemp(const std::string& dir, const std::string& name, unsigned mode, std::string& temp);

    std::string target_;
    std::string dest_;        // the file really replaced (a link's target) or written into
    std::string temp_;
    bool inPlace_ = false;    // a FIFO or device: written into, never replaced
    bool replacing_ = false;  // an existing regular file is replaced
    std::string error_;
    File file_;
    bool done_ = true;
};

}  // namespace fax
