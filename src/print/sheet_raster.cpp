#include "print/sheet_raster.h"

#include <algorithm>
#include <cstring>

#include "formats/file_io.h"

namespace fax::print {

SheetRaster::SheetRaster(int width, int height, std::function<bool(const Sheet&, unsigned)> onSheet)
    : onSheet_(std::move(onSheet)) {
    sheet_.width = width;
    sheet_.height = height;
    sheet_.stride = (static_cast<std::size_t>(width) + 7) / 8;
}

void SheetRaster::StartPage() {
    sheet_.bits.assign(sheet_.stride * static_cast<std::size_t>(sheet_.height), 0);
}

void SheetRaster::EndPage() {
    ++sheets_;
    if (onSheet_ && !onSheet_(sheet_, sheets_)) failed_ = true;
}

void SheetRaster::Draw(const MonoBitmap& bitmap, const Rect& src, const Rect& dst, Blit) {
    if (src.width <= 0 || src.height <= 0 || dst.width <= 0 || dst.height <= 0 || sheet_.bits.empty()) return;
    // Nearest neighbour: destination pixel d takes source pixel src + floor(d * s / D).
    const int x0 = std::max(dst.x, 0), x1 = std::min<long long>(dst.x + static_cast<long long>(dst.width), sheet_.width);
    const int y0 = std::max(dst.y, 0), y1 = std::min<long long>(dst.y + static_cast<long long>(dst.height), sheet_.height);
    if (x0 >= x1 || y0 >= y1) return;
    columns_.resize(static_cast<std::size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x)
        columns_[static_cast<std::size_t>(x - x0)] =
            src.x + static_cast<int>(static_cast<long long>(x - dst.x) * src.width / dst.width);
    for (int y = y0; y < y1; ++y) {
        const int sy = src.y + static_cast<int>(static_cast<long long>(y - dst.y) * src.height / dst.height);
        if (sy < 0 || sy >= bitmap.height) continue;  // outside the bitmap: nothing drawn
        std::uint8_t* row = sheet_.bits.data() + static_cast<std::size_t>(y) * sheet_.stride;
        for (int x = x0; x < x1; ++x) {
            const int sx = columns_[static_cast<std::size_t>(x - x0)];
            if (sx < 0 || sx >= bitmap.width) continue;
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
            if (bitmap.White(sx, sy))
                row[x >> 3] &= static_cast<std::uint8_t>(~mask);
            else
                row[x >> 3] |= mask;
        }
    }
}

bool WriteSheetPbm(const std::string& path, const Sheet& sheet) {
    AtomicFile out(path);  // a sheet cut short by a full disk never stands under its name
    if (!out.Open()) return false;
    const std::string head = "P4\n" + std::to_string(sheet.width) + " " + std::to_string(sheet.height) + "\n";
    // Bits past the width in each row's last byte are zero already.
    return out.file().WriteAll(head.data(), head.size()) && out.file().WriteAll(sheet.bits.data(), sheet.bits.size()) &&
           out.Commit();
}

}  // namespace fax::print
