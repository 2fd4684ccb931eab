#include "utility/internal/private_profile.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "utility/os/os_env.h"

namespace utility_internal {
namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  const size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(content);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    out += line;
    out += '\n';
  }
  return out;
}

// "[name]" gives name; anything else nothing.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t[0] != '[') return std::nullopt;
  const size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// "key=value" gives key; comments and other lines nothing.
std::optional<std::string> KeyOf(const std::string& line) {
  const std::string t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '[') return std::nullopt;
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return Trim(t.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
  std::string v = Trim(line.substr(line.find('=') + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// Lines [begin, end) of the section, begin at its header; begin = npos when absent.
void FindSection(const std::vector<std::string>& lines, const std::string& section, size_t& begin,
                 size_t& end) {
  begin = std::string::npos;
  end = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionOf(lines[i]);
    if (!name) continue;
    if (begin != std::string::npos) {
      end = i;
      return;
    }
    if (SameName(*name, section)) begin = i;
  }
}

std::mutex& FileLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

bool ReadWhole(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  content = all.str();
  return true;
}

// Replaces the file through a temporary neighbour, so a failed write
// leaves the old contents.
bool WriteWhole(const std::string& path, const std::string& content) {
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  if (std::fclose(f) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> IniFindValue(const std::string& content, const std::string& section,
                                        const std::string& key) {
  const std::vector<std::string> lines = SplitLines(content);
  size_t begin, end;
  FindSection(lines, section, begin, end);
  if (begin == std::string::npos) return std::nullopt;
  for (size_t i = begin + 1; i < end; ++i) {
    const auto k = KeyOf(lines[i]);
    if (k && SameName(*k, key)) return ValueOf(lines[i]);
  }
  return std::nullopt;
}

std::vector<std::string> IniSectionNames(const std::string& content) {
  std::vector<std::string> names;
  for (const std::string& line : SplitLines(content)) {
    if (auto name = SectionOf(line)) names.push_back(*name);
  }
  return names;
}

std::string IniSetValue(const std::string& content, const std::string& section, const char* key,
                        const char* value) {
  std::vector<std::string> lines = SplitLines(content);
  size_t begin, end;
  FindSection(lines, section, begin, end);
  if (key == nullptr) {
    if (begin != std::string::npos) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(begin),
                  lines.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return JoinLines(lines);
  }
  const std::string entry = value ? std::string(key) + "=" + value : std::string();
  if (begin == std::string::npos) {
    if (value == nullptr) return JoinLines(lines);
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back(std::string());
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
    return JoinLines(lines);
  }
  for (size_t i = begin + 1; i < end; ++i) {
    const auto k = KeyOf(lines[i]);
    if (!k || !SameName(*k, key)) continue;
    if (value == nullptr) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      lines[i] = *k + "=" + value;
    }
    return JoinLines(lines);
  }
  if (value != nullptr) {
    size_t at = end;
    while (at > begin + 1 && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
  }
  return JoinLines(lines);
}

uint32_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  std::string value = defaultValue ? Trim(defaultValue) : std::string();
  if (section != nullptr && key != nullptr && path != nullptr) {
    std::string content;
    std::lock_guard<std::mutex> lock(FileLock());
    if (ReadWhole(utility_os::NativePath(path), content)) {
      if (auto found = IniFindValue(content, section, key)) value = *found;
    }
  }
  const uint32_t n = value.size() < size - 1 ? static_cast<uint32_t>(value.size()) : size - 1;
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* path) {
  if (section == nullptr || path == nullptr) return false;
  const std::string native = utility_os::NativePath(path);
  std::lock_guard<std::mutex> lock(FileLock());
  std::string content;
  if (!ReadWhole(native, content)) content.clear();
  return WriteWhole(native, IniSetValue(content, section, key, value));
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* path) {
  char text[64];
  if (GetPrivateProfileString(section, key, "\x01", text, sizeof(text), path) == 1 && text[0] == '\x01') {
    return defaultValue;
  }
  return static_cast<int>(std::strtol(text, nullptr, 10));
}

bool WritePrivateProfileStruct(const char* section, const char* key, const void* data, uint32_t size,
                               const char* path) {
  if (key == nullptr) return WritePrivateProfileString(section, nullptr, nullptr, path);
  if (data == nullptr) return WritePrivateProfileString(section, key, nullptr, path);
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  unsigned sum = 0;
  for (uint32_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
    sum += bytes[i];
  }
  text += kDigits[(sum >> 4) & 0x0F];
  text += kDigits[sum & 0x0F];
  return WritePrivateProfileString(section, key, text.c_str(), path);
}

bool GetPrivateProfileStruct(const char* section, const char* key, void* data, uint32_t size,
                             const char* path) {
  if (section == nullptr || key == nullptr || data == nullptr || path == nullptr) return false;
  std::string content;
  {
    std::lock_guard<std::mutex> lock(FileLock());
    if (!ReadWhole(utility_os::NativePath(path), content)) return false;
  }
  const auto found = IniFindValue(content, section, key);
  if (!found || found->size() != 2ull * size + 2) return false;
  std::vector<unsigned char> bytes(size + 1);
  for (uint32_t i = 0; i <= size; ++i) {
    const int hi = HexValue((*found)[2 * i]);
    const int lo = HexValue((*found)[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
  }
  unsigned sum = 0;
  for (uint32_t i = 0; i < size; ++i) sum += bytes[i];
  if ((sum & 0xFF) != bytes[size]) return false;
  std::memcpy(data, bytes.data(), size);
  return true;
}

uint32_t GetPrivateProfileSectionNames(char* buffer, uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  std::string content;
  {
    std::lock_guard<std::mutex> lock(FileLock());
    if (path == nullptr || !ReadWhole(utility_os::NativePath(path), content)) content.clear();
  }
  std::string list;
  for (const std::string& name : IniSectionNames(content)) {
    list += name;
    list += '\0';
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  if (list.size() + 1 > size) {
    // Cut to fit, ending in two terminators.
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
  }
  std::memcpy(buffer, list.data(), list.size());
  buffer[list.size()] = '\0';
  return static_cast<uint32_t>(list.size());
}

}  // namespace utility_internal
