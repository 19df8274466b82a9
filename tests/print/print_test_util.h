// What the print tests read back: page counts of PDFs (poppler's pdfinfo) and netpbm images.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace printtest {

inline int PdfPages(const std::string& pdf) {
    std::string out;
    if (testing_support::RunCommand("pdfinfo '" + pdf + "' 2>/dev/null", &out) != 0) return -1;
    auto at = out.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(out.substr(at + 6));
}

// A binary PBM (P4) or PGM (P5) as one byte per pixel, 1 = black (grey below half).
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> black;
    bool Black(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && black[static_cast<std::size_t>(y) * width + x];
    }
};

inline Pixels ReadPnm(const std::string& path) {
    testing_support::Bytes b = testing_support::ReadBytes(path);
    Pixels p;
    std::size_t pos = 0;
    auto token = [&] {
        while (pos < b.size() && (std::isspace(b[pos]) || b[pos] == '#')) {
            if (b[pos] == '#')
                while (pos < b.size() && b[pos] != '\n') ++pos;
            else
                ++pos;
        }
        std::string t;
        while (pos < b.size() && !std::isspace(b[pos])) t += static_cast<char>(b[pos++]);
        return t;
    };
    const std::string magic = token();
    p.width = std::stoi(token());
    p.height = std::stoi(token());
    if (magic == "P5") token();
    ++pos;
    const bool pbm = magic == "P4";
    const std::size_t stride = pbm ? (static_cast<std::size_t>(p.width) + 7) / 8 : static_cast<std::size_t>(p.width);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const std::uint8_t v = b[pos + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(pbm ? x / 8 : x)];
            p.black.push_back(pbm ? (v >> (7 - x % 8)) & 1 : v < 128);
        }
    return p;
}

}  // namespace printtest
