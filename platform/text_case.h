// Comparing narrow names without regard to letter case, as the system's
// case-blind string comparisons do (registry keys, version-resource paths,
// process image names).
#pragma once

#include <string>

namespace platform {

// Same length and the same bytes once each is lowered by std::tolower.
bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace platform
