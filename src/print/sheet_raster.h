// A print device that draws into memory: one 1-bit sheet of the printable area per
// printed page, stretched nearest-neighbour. tarvex-cli's print preview and the tests
// use it; each finished sheet is handed to a callback (such as a PBM writer).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "print/print_engine.h"

namespace fax::print {

struct Sheet {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> bits;  // rows of `stride` bytes, bit 7 leftmost, 1 black (as PBM)

    bool Black(int x, int y) const {
        return (bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1u;
    }
};

class SheetRaster : public PrintDevice {
public:
    // `onSheet` gets each ended sheet and its number (from 1); false stops nothing but is
    // remembered (see failed()).
    SheetRaster(int width, int height, std::function<bool(const Sheet&, unsigned number)> onSheet);

    void StartPage() override;
    void EndPage() override;
    void Draw(const MonoBitmap& bitmap, const Rect& src, const Rect& dst, Blit blit) override;

    unsigned sheets() const { return sheets_; }
    bool failed() const { return failed_; }

private:
    Sheet sheet_;
    std::function<bool(const Sheet&, unsigned)> onSheet_;
    std::vector<int> columns_;  // source column of each destination column of one draw
    unsigned sheets_ = 0;
    bool failed_ = false;
};

// Writes a sheet as a binary PBM; false when the file cannot be written.
bool WriteSheetPbm(const std::string& path, const Sheet& sheet);

}  // namespace fax::print
