#include "tool_fixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace toolfix {

using namespace testing_support;

Page MakePage(std::size_t lines, unsigned seed, std::size_t bytesPerLine) {
    Page p;
    p.pixels = PatternPage(bytesPerLine, lines, seed);
    p.file = MakePcx(p.pixels, bytesPerLine);
    return p;
}

Bytes DcxWithOffsets(const std::vector<std::uint32_t>& offsets, const Bytes& body) {
    Bytes file(4096, 0);
    file[0] = 0xB1, file[1] = 0x68, file[2] = 0xDE, file[3] = 0x3A;
    for (std::size_t i = 0; i < offsets.size(); ++i)
        for (int k = 0; k < 4; ++k) file[4 + 4 * i + k] = static_cast<std::uint8_t>(offsets[i] >> (8 * k));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Pbm ReadPbm(const std::string& path) {
    Pbm pbm;
    Bytes data = ReadBytes(path);
    std::size_t pos = 0;
    auto token = [&]() {
        std::string t;
        while (pos < data.size()) {
            char c = static_cast<char>(data[pos]);
            if (c == '#') {
                while (pos < data.size() && data[pos] != '\n') ++pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                if (!t.empty()) break;
                ++pos;
            } else {
                t += c;
                ++pos;
            }
        }
        return t;
    };
    if (token() != "P4") return pbm;
    pbm.width = std::stoul(token());
    pbm.height = std::stoul(token());
    ++pos;  // the single whitespace before the raster
    std::size_t rowBytes = (pbm.width + 7) / 8;
    if (data.size() < pos + rowBytes * pbm.height) return Pbm{};
    pbm.pixels.assign(data.begin() + static_cast<std::ptrdiff_t>(pos),
                      data.begin() + static_cast<std::ptrdiff_t>(pos + rowBytes * pbm.height));
    for (auto& b : pbm.pixels) b = static_cast<std::uint8_t>(~b);
    return pbm;
}

Pbm GmDecode(const std::string& file, unsigned index, const std::string& workDir) {
    std::string out = workDir + "/gm-page-" + std::to_string(index) + ".pbm";
    std::string cmd = "gm convert '" + file + "[" + std::to_string(index) + "]' '" + out + "'";
    if (Run(cmd, nullptr, true) != 0) return Pbm{};
    return ReadPbm(out);
}

std::vector<std::string> GmPageSizes(const std::string& file) {
    std::string out;
    if (Run("gm identify '" + file + "'", &out) != 0) return {};
    std::vector<std::string> sizes;
    std::regex size(R"( (\d+x\d+)\+?)");
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, size)) sizes.push_back(m[1]);
    }
    return sizes;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace toolfix
