#include "base/base_proc.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/kit_log.h"
#include "foundation/base/unicode.h"
#include "platform/module_path.h"
#include "platform/registry.h"
#include "platform/version_record.h"

namespace kitoracle {

std::string BaseGetModuleFileName(const char* suffix) {
  std::string path = platform::ModulePathOf(reinterpret_cast<const void*>(&BaseGetModuleFileName));
  if (path.empty()) {
    KIT_LOG("error GetModuleFileName");
    KIT_LOG_ERRNO();
    return std::string();
  }
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    KIT_LOG("error PathRemoveFileSpec");
    return std::string();
  }
  path.resize(slash + 1);
  if (suffix != nullptr) path += suffix;
  return path;
}

bool ParseProductVersion(const std::string& text, uint64_t* version) {
  uint64_t parts[4] = {};
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (at > text.size()) return false;
    size_t p = at;
    while (p < text.size() && text[p] == ' ') ++p;
    if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
    uint64_t n = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') n = n * 10 + uint64_t(text[p++] - '0');
    parts[i] = n & 0xFFFF;
    if (i == 3) break;
    size_t next = text.find(',', at);
    if (next == std::string::npos) next = text.find('.', at);
    if (next == std::string::npos) return false;
    at = next + 1;
  }
  *version = parts[0] << 48 | parts[1] << 32 | parts[2] << 16 | parts[3];
  return true;
}

bool BaseGetFileVersion(const std::string& path, uint64_t* version) {
  if (path.empty() || version == nullptr) {
    KIT_LOG("error parameter");
    return false;
  }
  std::vector<uint8_t> data;
  if (!platform::ReadVersionData(path, &data)) {
    KIT_LOG("error fnGetFileVersionInfoSizeA %s", path.c_str());
    return false;
  }
  const uint8_t* value = nullptr;
  size_t size = 0;
  if (!platform::QueryVersionValue(data, "\\VarFileInfo\\Translation", &value, &size) || size < 4) {
    KIT_LOG("error fnVerQueryValueA");
    return false;
  }
  uint32_t translation =
      uint32_t(value[0]) | uint32_t(value[1]) << 8 | uint32_t(value[2]) << 16 | uint32_t(value[3]) << 24;
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\ProductVersion", translation & 0xFFFF,
                translation >> 16);
  if (!platform::QueryVersionValue(data, query, &value, &size) || value == nullptr) {
    KIT_LOG("error NULL == pVerValue");
    return false;
  }
  std::u16string wide(size / 2, u'\0');
  std::memcpy(&wide[0], value, wide.size() * 2);
  std::string text = unicode::Utf16ToUtf8(wide.data(), wide.size());
  if (!ParseProductVersion(text, version)) {
    KIT_LOG("error pVerValue:%s", text.c_str());
    return false;
  }
  return true;
}

bool QenRegGetValue(uint32_t* unionId) {
  static const char kKey[] = "SOFTWARE\\QENSoft\\Hollowmere2013";
  for (platform::RegRoot root : {platform::RegRoot::kLocalMachine, platform::RegRoot::kCurrentUser}) {
    if (!platform::RegKeyExists(root, kKey)) {
      KIT_LOG("error RegOpenKeyEx");
      continue;
    }
    auto value = platform::RegQueryValue(root, kKey, "UnionID");
    if (!value) {
      KIT_LOG("error RegQueryValueEx");
      continue;
    }
    if (value->type != platform::kRegDword || value->data.size() < 4) {
      KIT_LOG("error RegQueryValueEx");
      continue;
    }
    const std::vector<uint8_t>& d = value->data;
    *unionId = uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
    return true;
  }
  return false;
}

}  // namespace kitoracle
