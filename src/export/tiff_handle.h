// An open libtiff handle that closes itself.
#pragma once

#include <tiffio.h>

#include <memory>

namespace fax {

struct TiffCloser {
    void operator()(TIFF* t) const {
        if (t) TIFFClose(t);
    }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

}  // namespace fax
