#pragma once
// The kit shipped in units/, which many tests build with as users do. A folder's test files are
// compiled as one unit, so what several of them use is defined here once.

#include <string>
#include <vector>

namespace TestSupport {

inline const std::string kShipped = std::string(TOWERKIT_SOURCE_DIR) + "/units";
// The shipped kit's styles, in the order the linter lists them.
inline const std::vector<std::string> kShippedStyles = {"A", "B", "S"};

}  // namespace TestSupport
