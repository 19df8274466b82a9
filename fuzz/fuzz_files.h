// Scratch files for the fuzz targets: the code under test reads and writes paths, so each
// input is written to a file in a private folder that lives as long as the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The private folder (made on first use, removed at exit).
const std::string& ScratchDir();
// ScratchDir()/name; any earlier file of that name is removed first.
std::string ScratchPath(const std::string& name);
// Writes the bytes to ScratchDir()/name and returns the path ("" when that failed).
std::string WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
