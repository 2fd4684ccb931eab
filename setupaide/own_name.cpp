// Markers and the distribution id that the installer carries in its own file name.
#include <cctype>
#include <climits>
#include <cstdlib>

#include "platform/module_path.h"
#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"

namespace setupaide {

std::string FileNameWithoutExtension(const std::string& path) {
  size_t cut = path.rfind('/');
  if (cut == std::string::npos) cut = path.rfind('\\');
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string OwnFileName() {
  return FileNameWithoutExtension(platform::ExecutablePath());
}

int UnidFromName(const std::string& name, int default_id) {
  size_t underscore = name.find('_');
  if (underscore == std::string::npos) return default_id;
  const char* start = name.c_str() + underscore + 1;
  long value = std::strtol(start, nullptr, 10);
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return value != 0 ? static_cast<int>(value) : default_id;
}

bool NameHasMarker(const std::string& name, const std::string& marker) {
  if (marker.empty() || name.size() < marker.size()) return false;
  for (size_t i = 0; i + marker.size() <= name.size(); ++i) {
    size_t k = 0;
    while (k < marker.size() && std::tolower(static_cast<unsigned char>(name[i + k])) ==
                                    std::tolower(static_cast<unsigned char>(marker[k]))) {
      ++k;
    }
    if (k == marker.size()) return true;
  }
  return false;
}

}  // namespace setupaide

int GetUnidByFileName(int default_id) {
  return setupaide::UnidFromName(setupaide::OwnFileName(), default_id);
}

bool IsSlientName(void) { return setupaide::NameHasMarker(setupaide::OwnFileName(), "_slient"); }

bool IsCreateDeskShort(void) { return setupaide::NameHasMarker(setupaide::OwnFileName(), "_d"); }

bool IsCreateMenuShort(void) { return setupaide::NameHasMarker(setupaide::OwnFileName(), "_m"); }
