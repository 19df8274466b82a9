// Pages for benchmarks: a dense text page like a typed letter.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace benchpages {

constexpr std::size_t kBytesPerLine = 216;
constexpr std::size_t kLines = 2200;

// 1728 x 2200, black text strokes on white, about 12% black.
std::vector<std::uint8_t> DenseTextPage(unsigned seed = 1);
// Run-length codes a page (whole lines).
std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& page, std::size_t bytesPerLine);
// A fresh folder under /tmp, removed with everything in it at the end.
struct TempFolder {
    std::filesystem::path path;
    TempFolder();
    ~TempFolder();
    std::string File(const char* name) const { return (path / name).string(); }
};

// A complete PCX file / DCX file of `pages` dense pages, written to `path`.
void WriteDenseFax(const std::string& path, unsigned pages);

}  // namespace benchpages
