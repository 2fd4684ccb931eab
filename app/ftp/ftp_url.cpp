#include "app/ftp/ftp_url.h"

#include <cctype>

#include "foundation/base/url_encode.h"

namespace ftp {

std::string EncodeRemotePath(const std::string& path) {
  std::string out;
  out.reserve(path.size() * 3);
  for (unsigned char c : path) {
    if (c == '/' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += HexDigit(c >> 4);
      out += HexDigit(c & 0xF);
    }
  }
  return out;
}

bool IsSafeRemotePath(const std::string& path) {
  return path.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool IsAllowedDownloadUrl(const std::string& url) {
  const size_t colon = url.find("://");
  if (colon == std::string::npos) return false;
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme == "http" || scheme == "https" || scheme == "ftp";
}

int ProgressPercent(int64_t now, int64_t total) {
  if (total <= 0 || now <= 0) return 0;
  if (now >= total) return 100;
  return static_cast<int>(now * 100 / total);
}

}  // namespace ftp
