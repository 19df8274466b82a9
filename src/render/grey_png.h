// Writes an 8-bit greyscale (or RGB) PNG. Rows are pulled one at a time, so a tall page surface is
// compressed straight from its tiles without a copy of the whole picture.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace view {

enum class PngStatus {
    Ok,
    EmptyImage,     // width or height is 0, which PNG cannot hold
    TooLarge,       // a side above 2^31 - 1
    CreateFailed,   // the file could not be created
    WriteFailed,    // a write was short or the file could not be put in place
    CompressFailed, // zlib refused
    NoRow,          // the row source gave no row
};

// The message for a status, naming the file.
std::string PngStatusText(PngStatus status, const std::string& path);

// Returns row y (0 .. height - 1) of `width` grey bytes (0 black, 255 white), or of `width`
// RGB triples for a colour picture; the pointer
// must stay valid until the next call.
using GreyRowSource = std::function<const std::uint8_t*(std::uint32_t y)>;

// Writes the picture to `path`. The file is written beside its name and renamed into
// place when complete, so a failure never leaves a half-written file or spoils an old one.
PngStatus WriteGreyPng(const std::string& path, std::uint32_t width, std::uint32_t height,
                       const GreyRowSource& rows, int channels = 1);

}  // namespace view
