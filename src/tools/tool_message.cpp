#include "tools/tool_message.h"

#include <cstring>

namespace fax {

std::string SystemErrorText(int error) { return error ? std::strerror(error) : std::string("unknown error"); }

}  // namespace fax
