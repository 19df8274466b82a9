#include "export/output_check.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>

#include "export/tiff_handle.h"
#include "formats/file_io.h"

namespace fax {

namespace {

constexpr std::size_t kPdfTail = 1024;  // the trailer's end lies within this many bytes

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

bool TiffComplete(const std::string& path, unsigned pages) {
    const std::int64_t size = FileSize(path);
    if (pages == 0 || size <= 0 || !FileExists(path)) return false;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Quiet, nullptr);
    TiffPtr tiff(TIFFOpenExt(path.c_str(), "r", options.get()));
    if (!tiff) return false;
    unsigned found = 0;
    do {
        if (++found > pages) return false;
        std::uint64_t* offsets = nullptr;
        std::uint64_t* counts = nullptr;
        if (!TIFFGetField(tiff.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
            !TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets || !counts)
            return false;
        for (std::uint32_t s = 0, n = TIFFNumberOfStrips(tiff.get()); s < n; ++s)
            if (offsets[s] > static_cast<std::uint64_t>(size) || counts[s] > static_cast<std::uint64_t>(size) - offsets[s])
                return false;
    } while (TIFFReadDirectory(tiff.get()));
    return found == pages;
}

bool PdfComplete(const std::string& path) {
    File f = File::OpenRead(path);
    const std::int64_t size = f ? f.Size() : -1;
    char head[5];
    if (size < static_cast<std::int64_t>(sizeof head) || f.Read(head, sizeof head) != sizeof head ||
        std::memcmp(head, "%PDF-", sizeof head) != 0)
        return false;
    const std::size_t tail = static_cast<std::size_t>(std::min<std::int64_t>(size, kPdfTail));
    std::string end(tail, '\0');
    if (!f.Seek(static_cast<std::uint64_t>(size) - tail) || f.Read(end.data(), tail) != static_cast<std::int64_t>(tail))
        return false;
    end.erase(end.find_last_not_of(" \t\r\n\f") + 1);
    return end.size() >= 5 && end.compare(end.size() - 5, 5, "%%EOF") == 0;
}

}  // namespace fax
