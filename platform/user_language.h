// The user's language as a Windows language id, taken from the locale.
#pragma once

#include <cstdint>

namespace platform {

// LC_ALL, then LC_MESSAGES, then LANG decide (the first one set and not
// empty): "zh_CN..." gives 0x0804, "en_US..." 0x0409; anything else 0x0409.
uint16_t UserDefaultLanguageId();

}  // namespace platform
