#include "platform/registry.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/text_case.h"
#include "platform/user_folders.h"

namespace platform {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::optional<uint64_t> ParseHex(const std::string& digits, size_t max_digits) {
  if (digits.empty() || digits.size() > max_digits) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 16 + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  }
  return value;
}

std::vector<uint8_t> LittleEndian(uint64_t value, size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
  return data;
}

// UTF-8 to UTF-16LE bytes with a terminating NUL; malformed bytes become U+FFFD.
std::vector<uint8_t> Utf16LeWithNul(const std::string& text) {
  std::vector<uint8_t> out;
  auto put = [&out](uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  };
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      if (i + len > text.size()) {
        len = 1;
      } else {
        cp = c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
          unsigned char cc = static_cast<unsigned char>(text[i + k]);
          if ((cc & 0xC0) != 0x80) { cp = 0xFFFD; len = 1; break; }
          cp = (cp << 6) | (cc & 0x3F);
        }
      }
    }
    i += len;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp > 0x10FFFF ? 0xFFFD : cp);
    }
  }
  put(0);
  return out;
}

// A section line "[key]" naming `full_key`.
bool IsKeyLine(const std::string& trimmed, const std::string& full_key) {
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']' &&
         EqualNoCase(Trim(trimmed.substr(1, trimmed.size() - 2)), full_key);
}

std::optional<std::string> ReadRegistryFile() {
  std::ifstream in(RegistryFilePath());
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string FullKey(RegRoot root, const std::string& key_path) {
  return (root == RegRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + key_path;
}

}  // namespace

std::string RegistryFilePath() { return ConfigHomeDir() + "/Zelvik/registry.ini"; }

std::optional<RegValue> ParseRegValueText(const std::string& raw) {
  const std::string text = Trim(raw);
  RegValue value;
  if (StartsWithNoCase(text, "dword:")) {
    auto number = ParseHex(Trim(text.substr(6)), 8);
    if (!number) return std::nullopt;
    value.type = kRegDword;
    value.data = LittleEndian(*number, 4);
  } else if (StartsWithNoCase(text, "qword:")) {
    auto number = ParseHex(Trim(text.substr(6)), 16);
    if (!number) return std::nullopt;
    value.type = kRegQword;
    value.data = LittleEndian(*number, 8);
  } else if (StartsWithNoCase(text, "hex:")) {
    value.type = kRegBinary;
    std::stringstream bytes(text.substr(4));
    std::string item;
    while (std::getline(bytes, item, ',')) {
      auto byte = ParseHex(Trim(item), 2);
      if (!byte) return std::nullopt;
      value.data.push_back(static_cast<uint8_t>(*byte));
    }
  } else {
    std::string body = StartsWithNoCase(text, "sz:") ? text.substr(3) : text;
    if (body.size() >= 2 && body.front() == '"' && body.back() == '"') {
      body = body.substr(1, body.size() - 2);
    }
    value.type = kRegSz;
    value.data = Utf16LeWithNul(body);
  }
  return value;
}

std::optional<RegValue> FindRegValue(const std::string& file_text, const std::string& full_key,
                                     const std::string& name) {
  std::istringstream lines(file_text);
  std::string line;
  bool in_key = false;
  while (std::getline(lines, line)) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    if (trimmed.front() == '[') {
      in_key = IsKeyLine(trimmed, full_key);
      continue;
    }
    if (!in_key) continue;
    size_t equals = trimmed.find('=');
    if (equals == std::string::npos) continue;
    std::string entry_name = Trim(trimmed.substr(0, equals));
    if (entry_name.size() >= 2 && entry_name.front() == '"' && entry_name.back() == '"') {
      entry_name = entry_name.substr(1, entry_name.size() - 2);
    }
    if (EqualNoCase(entry_name, name)) return ParseRegValueText(trimmed.substr(equals + 1));
  }
  return std::nullopt;
}

bool HasRegKey(const std::string& file_text, const std::string& full_key) {
  std::istringstream lines(file_text);
  std::string line;
  while (std::getline(lines, line)) {
    if (IsKeyLine(Trim(line), full_key)) return true;
  }
  return false;
}

std::optional<RegValue> RegQueryValue(RegRoot root, const std::string& key_path,
                                      const std::string& name) {
  const std::optional<std::string> text = ReadRegistryFile();
  if (!text) return std::nullopt;
  return FindRegValue(*text, FullKey(root, key_path), name);
}

bool RegKeyExists(RegRoot root, const std::string& key_path) {
  const std::optional<std::string> text = ReadRegistryFile();
  return text && HasRegKey(*text, FullKey(root, key_path));
}

}  // namespace platform
