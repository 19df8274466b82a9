// Opening a fax: the check the viewer makes first, and the DCX page-table reader.
#include <cstdint>

#include "formats/dcx.h"
#include "formats/fax_check.h"
#include "formats/file_io.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratch("check.dcx", data, size);
    if (path.empty()) return 0;
    (void)fax::CheckFaxFile(path);
    fax::File file = fax::File::OpenRead(path);
    if (file) (void)fax::ReadDcxPages(file, path);
    return 0;
}
