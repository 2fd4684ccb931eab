// Comparing narrow names without regard to letter case, as the system's
// case-blind string comparisons do (registry keys, version-resource paths,
// process image names).
#pragma once

#include <string>

namespace platform {

// Same length and the same bytes once ASCII letters are lowered (other bytes,
// UTF-8 sequences among them, compare as they are).
bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace platform
