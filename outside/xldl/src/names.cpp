#include "names.h"

#include <cctype>
#include <strings.h>

#include <cstring>

namespace xldl {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

// The value of parameter `name` (compared without case) in "a; b=c; d=e".
// Quoted values lose their quotes and backslash escapes.
bool FindParameter(const std::string& header, const char* name, std::string* value) {
  size_t pos = 0;
  while (pos < header.size()) {
    size_t end = pos;
    bool quoted = false;
    for (; end < header.size(); ++end) {
      if (header[end] == '"') quoted = !quoted;
      if (header[end] == ';' && !quoted) break;
    }
    const std::string part = Trim(header.substr(pos, end - pos));
    const size_t eq = part.find('=');
    if (eq != std::string::npos) {
      const std::string key = Trim(part.substr(0, eq));
      if (key.size() == std::strlen(name) && strncasecmp(key.c_str(), name, key.size()) == 0) {
        std::string raw = Trim(part.substr(eq + 1));
        if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
          std::string unquoted;
          for (size_t i = 1; i + 1 < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 2 < raw.size()) ++i;
            unquoted += raw[i];
          }
          raw = unquoted;
        }
        *value = raw;
        return true;
      }
    }
    pos = end + 1;
  }
  return false;
}

std::string WithoutControls(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) out += c;
  }
  return out;
}

// Empty for the names that are no file in a folder.
std::string PlainName(const std::string& name) {
  return name.empty() || name == "." || name == ".." ? std::string() : name;
}

}  // namespace

std::string SafeFileName(const std::string& text) {
  const size_t slash = text.find_last_of("/\\");
  return PlainName(Trim(WithoutControls(slash == std::string::npos ? text : text.substr(slash + 1))));
}

std::string CallerFileName(const std::string& text) {
  const size_t slash = text.find_last_of('/');
  return PlainName(WithoutControls(slash == std::string::npos ? text : text.substr(slash + 1)));
}

std::string NameFromContentDisposition(const std::string& value) {
  std::string name;
  if (FindParameter(value, "filename*", &name)) {
    // charset'language'percent-encoded-text
    const size_t first = name.find('\'');
    const size_t second = first == std::string::npos ? std::string::npos : name.find('\'', first + 1);
    if (second != std::string::npos) {
      const std::string decoded = SafeFileName(PercentDecode(name.substr(second + 1)));
      if (!decoded.empty()) return decoded;
    }
  }
  if (FindParameter(value, "filename", &name)) return SafeFileName(name);
  return std::string();
}

std::string NameFromUrl(const std::string& url) {
  std::string path = url;
  const size_t scheme = path.find("://");
  if (scheme != std::string::npos) {
    const size_t slash = path.find('/', scheme + 3);
    path = slash == std::string::npos ? std::string() : path.substr(slash);
  }
  const size_t cut = path.find_first_of("?#");
  if (cut != std::string::npos) path.resize(cut);
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) path = path.substr(slash + 1);
  return SafeFileName(PercentDecode(path));
}

}  // namespace xldl
