// The Fax-Accumulator: pages collected from several faxes as fpa0001.pcx, fpa0002.pcx ...
// in one folder, later turned into one new fax. The accumulator is nothing but its files.
#pragma once

#include <string>
#include <vector>

#include "tools/build_fax.h"
#include "tools/tool_message.h"

namespace fax {

inline constexpr unsigned kMaxConvertPages = 1000;  // one conversion takes at most this many

std::string AccumulatorPagePath(const std::string& dir, unsigned number);

// The unbroken run fpa0001.pcx, fpa0002.pcx ...; it ends at the first missing number.
unsigned AccumulatorCount(const std::string& dir);

struct AccumulatorSaveResult {
    unsigned saved = 0;
    ToolMessages messages;  // only for a damaged page table; other failures are silent
};
// Copies every page of the DCX `faxPath` into the accumulator, in page order, from the
// first number after the run on. A number whose file already exists (one lying after a
// gap) is passed over, so no accumulator page is ever overwritten. A PCX fax saves nothing.
AccumulatorSaveResult AccumulatorSave(const std::string& dir, const std::string& faxPath);

struct AccumulatorConvertResult {
    bool attempted = false;  // false when there was no fpa0001.pcx
    BuildFaxResult build;
    unsigned taken = 0;      // numbers 1..taken went into the fax (skipped ones included)
};
// Builds `newPath` from the run, at most kMaxConvertPages pages. The accumulator itself
// is left alone; AccumulatorRemoveConverted() empties it once the new fax is in use.
AccumulatorConvertResult AccumulatorBuild(const std::string& dir, const std::string& newPath);
// Deletes fpa0001.pcx up to `taken`, then renumbers the pages of the run beyond them to
// start at fpa0001.pcx again, so pages left over by a conversion stay in the accumulator.
void AccumulatorRemoveConverted(const std::string& dir, unsigned taken);

// Every accumulator page file of the folder (a name AccumulatorPagePath gives for some
// number, also after a gap), in no particular order; other files are not the accumulator's.
std::vector<std::string> AccumulatorPageFiles(const std::string& dir);

}  // namespace fax
