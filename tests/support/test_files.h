// Fixture files for tests: temporary folders, and fax pages built independently of the
// writers under test (the tests' own little PCX/DCX assembler).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// A fresh temporary folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A folder on a file system of 64 KiB (a tmpfs), unmounted at destruction; mounted() is
// false where the machine does not let us mount one.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& path);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool Exists(const std::string& path);

// A 128-byte header: Manufacturer 10, Version 5, Encoding 1, 1 bit, given width and Ymax.
Bytes PcxHeaderBytes(std::uint16_t bytesPerLine, std::uint16_t ymax);

// A bilevel page of `bytesPerLine` x `lines` bytes (1 = white), with a pattern that
// depends on `seed` so pages differ: text-like strokes, blank margins, solid bars.
Bytes PatternPage(std::size_t bytesPerLine, std::size_t lines, unsigned seed);

// Run-length codes a page the plain way (runs never cross a line end).
Bytes EncodePage(const Bytes& pixels, std::size_t bytesPerLine);

// A whole PCX file for `pixels`.
Bytes MakePcx(const Bytes& pixels, std::size_t bytesPerLine);

// A DCX of the given complete PCX files, first page at 4096.
Bytes MakeDcx(const std::vector<Bytes>& pcxFiles);
// A 24-bit colour PCX picture (three planes of `width` bytes), every byte `value`.
Bytes RgbPicturePcx(std::uint16_t width, std::uint16_t lines, std::uint8_t value);

// Lines of text drawn by GraphicsMagick in DejaVu Sans, 12 point at 200 dpi, 50 pixels
// apart, on a fax-wide page (216 bytes a line, 1 = white) `height` lines tall; empty when
// GraphicsMagick fails.
Bytes RenderTextPage(const TempDir& dir, const std::vector<std::string>& lines, std::size_t height);

// Runs a shell command; returns its exit status and puts standard output (and error,
// when wanted) into `output`.
// (Inside a TEST body call it RunCommand: gtest's Test::Run hides the short name.)
int RunCommand(const std::string& command, std::string* output = nullptr, bool withStderr = false);
inline int Run(const std::string& command, std::string* output = nullptr, bool withStderr = false) {
    return RunCommand(command, output, withStderr);
}

// What the desktop's trash in $XDG_DATA_HOME holds under a name made from `name` (the
// trash may add a number to keep names apart), as contents.
std::vector<Bytes> Trashed(const std::string& name);

// A loopback TCP port nobody listens on now (0 when none could be found).
int SparePort();

std::string CliPath();     // the built tarvex-cli
std::string SourceDir();   // the repository

}  // namespace testing_support
