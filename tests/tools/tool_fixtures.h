// Fixtures shared by the tool tests: fax pages made by the test helpers, and what
// GraphicsMagick (an independent reader) makes of the files the tools write.
#pragma once

#include <string>
#include <vector>

#include "support/test_files.h"

namespace toolfix {

using testing_support::Bytes;

constexpr std::size_t kBpl = 216;

struct Page {
    Bytes pixels;  // 1 = white
    Bytes file;    // a complete PCX file
};
Page MakePage(std::size_t lines, unsigned seed, std::size_t bytesPerLine = kBpl);

// A DCX whose table lists `offsets` (first page's data must follow the table).
Bytes DcxWithOffsets(const std::vector<std::uint32_t>& offsets, const Bytes& body);

// Pixels of a P4 PBM, turned to the fax convention (1 = white); empty when unreadable.
struct Pbm {
    std::size_t width = 0, height = 0;
    Bytes pixels;
};
Pbm ReadPbm(const std::string& path);

// "gm convert FILE[index] out.pbm" and its pixels.
Pbm GmDecode(const std::string& file, unsigned index, const std::string& workDir);
// One line per page from "gm identify", as "WIDTHxHEIGHT".
std::vector<std::string> GmPageSizes(const std::string& file);

std::vector<std::string> FilesIn(const std::string& dir);  // sorted names

}  // namespace toolfix
