#include "app/data/app_record.h"

#include <cstdio>

#include "foundation/base/code_page.h"

namespace {

constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * 1024;
constexpr int64_t kGiB = 1024 * 1024 * 1024;

}  // namespace

std::u16string FormatFileSize(int64_t bytes) {
  char text[64] = {};
  // Exactly 1 MiB and 1 GiB take the larger unit, so no size has an empty text.
  if (bytes >= kGiB) {
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1073741824.0);
  } else if (bytes >= kMiB) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1048576.0);
  } else if (bytes > kKiB) {
    std::snprintf(text, sizeof text, "%d KB", static_cast<int>(bytes / kKiB));
  }
  return AnsiToWString(text);
}
