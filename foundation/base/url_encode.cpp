#include "foundation/base/url_encode.h"

char HexDigit(unsigned int value) {
  value &= 0x0Fu;
  return static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
}

std::string UrlEncode(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                c == '_' || c == '.' || c == '~';
    if (keep) {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += HexDigit(c >> 4);
      out += HexDigit(c);
    }
  }
  return out;
}
