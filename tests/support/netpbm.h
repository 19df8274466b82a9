// Reading netpbm pictures (P5 grey, P4 bits) as the tests get them from netpbm's tools and
// from tarvex-cli pbm.
#pragma once

#include <sstream>
#include <string>

#include "support/test_files.h"

namespace testing_support {

struct Picture {
    int width = 0, height = 0;
    int channels = 1;  // 3 for a PPM
    Bytes pixels;  // grey or RGB, or for a PBM one bit per pixel with 1 = white as the fax has it
};

// Reads "P5"/"P6"/"P4" data; false when it is none of them or is cut short.
inline bool ReadNetpbm(const std::string& data, Picture& pic) {
    std::istringstream in(data);
    std::string magic;
    int maxval = 1;
    in >> magic >> pic.width >> pic.height;
    const bool bytes = magic == "P5" || magic == "P6";
    if (bytes) in >> maxval;
    in.get();
    if (!in || (!bytes && magic != "P4") || maxval != (bytes ? 255 : 1)) return false;
    pic.channels = magic == "P6" ? 3 : 1;
    std::size_t size = bytes ? std::size_t(pic.width) * pic.height * pic.channels
                             : std::size_t((pic.width + 7) / 8) * pic.height;
    std::string rest(size, '\0');
    in.read(rest.data(), static_cast<std::streamsize>(size));
    if (std::size_t(in.gcount()) != size) return false;
    pic.pixels.assign(rest.begin(), rest.end());
    if (magic == "P4")
        for (auto& b : pic.pixels) b = static_cast<std::uint8_t>(~b);  // PBM's 1 is black
    return true;
}

// A PNG decoded by netpbm's pngtopnm; false when the tool fails or gives no grey picture.
inline bool ReadPng(const std::string& path, Picture& pic) {
    std::string pgm;
    return RunCommand("pngtopnm '" + path + "' 2>/dev/null", &pgm) == 0 && ReadNetpbm(pgm, pic);
}

}  // namespace testing_support
