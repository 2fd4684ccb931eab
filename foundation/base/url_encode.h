// URL form of a narrow text: ASCII letters, digits and "-_.~" stay, a blank
// becomes "+", every other byte "%XX" (upper-case hexadecimal).
#pragma once

#include <string>

char HexDigit(unsigned int value);  // 0..15 -> '0'..'9', 'A'..'F'
std::string UrlEncode(const std::string& text);
