// The product's name and version, as every program and message of the system gives them.
#pragma once

namespace fax {

inline constexpr const char* kProductTitle = "Vantorel";
inline constexpr const char* kProductVersion = "15.05.01";

}  // namespace fax
