// Build Long Fax: every page of a fax joined into one long page.
#include <cstdint>

#include "fuzz_files.h"
#include "tools/long_fax.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = fuzz::WriteScratch("in.dcx", data, size);
    if (in.empty()) return 0;
    (void)fax::BuildLongFax(in, fuzz::ScratchPath("long.dcx"));
    return 0;
}
