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

    // Opens an existing file for binary reading.
    static File OpenRead(const std::string& path);
    // Opens an existing file for reading and writing.
    static File OpenReadWrite(const std::string& path);
    // Creates the file, truncating an existing one; owner read and write permission.
    static File Create(const std::string& path);

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
    void Close();

private:
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
};

bool FileExists(const std::string& path);
std::int64_t FileSize(const std::string& path);  // -1 when it cannot be read
bool RemoveFile(const std::string& path);

// A file that is written beside its final name and renamed over it only on Commit(),
// so a failure never damages an existing file of that name.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Open();  // creates the temporary file beside the target
    // Gives the temporary file the target's permission bits, so a replaced file keeps
    // who may read it; nothing happens when there is no target yet.
    void KeepTargetMode();
    File& file() { return file_; }
    const std::string& target() const { return target_; }
    const std::string& tempPath() const { return temp_; }
    // Syncs (unless `flush` is false: a work file nobody needs after a crash), closes
    // and renames over the target.
    bool Commit(bool flush = true);
    void Discard();  // closes and removes the temporary file
    // Keeps what was written under the target's name only when no file of that
    // name exists (a partial new file is better than nothing; an old file is kept).
    void KeepIfNew();

private:
    std::string target_;
    std::string temp_;
    File file_;
    bool done_ = false;
};

}  // namespace fax
