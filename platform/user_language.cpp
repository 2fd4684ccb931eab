#include "platform/user_language.h"

#include <cstdlib>
#include <cstring>

namespace platform {

uint16_t UserDefaultLanguageId() {
  static const char* const kVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  const char* locale = nullptr;
  for (const char* name : kVariables) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') {
      locale = value;
      break;
    }
  }
  if (locale != nullptr && std::strncmp(locale, "zh_CN", 5) == 0) return 0x0804;
  return 0x0409;
}

}  // namespace platform
