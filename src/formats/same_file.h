// Whether two paths name the same file on disk, so that no output replaces its own input.
#pragma once

#include <string>

namespace fax {

// True when both name the same existing file (same device and inode, through links and
// symbolic links alike). A path that does not exist is never the same as another.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace fax
