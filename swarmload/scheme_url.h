// Links of the product's own scheme, "QEN://<name>&<32 hex digits>=...",
// turned into a real download URL, a file name and the expected MD5 of the
// file. The link form is read by a pure function; the resolution asks
// kitoracle's DSSearchServerRes and caches the answer until the last close.
#pragma once

#include <cstdint>
#include <string>

namespace swarmload {

struct Resolution {
  std::u16string real_url;
  std::u16string file_name;
  std::u16string expected_hash;  // 32 lower-case hex digits
};

enum class LinkForm { kNotScheme, kMalformed, kScheme };

struct SchemeLink {
  uint8_t digest[16] = {0};     // zero when the hash text is not 32 hex digits
  std::u16string expected_hash;  // the digest's 32 lower-case digits
  std::u16string name;           // the link's own name part (or the whole link)
};

// Reads a link: kNotScheme without "QEN://", kMalformed when the first "="
// does not stand 33 characters after the first "&".
LinkForm ParseSchemeLink(const std::u16string& link, SchemeLink* parts);

// The name a text offers as a file name in a folder: the part after the
// last '/' or '\', without control characters (quotes are ordinary
// characters of a name); empty when what is left is "", "." or "..".
std::u16string SafeFileName(const std::u16string& text);

// True with `out` filled when `link` (narrow, as the caller gave it) is a
// scheme link that resolves; false for other links, malformed ones, a
// service error and names that cannot be a file name (logged).
bool ResolveSchemeUrl(const std::string& link, Resolution* out);

// Empties the cache (the last close).
void ClearResolutionCache();

}  // namespace swarmload
