#include "ui/pages/market_links.h"

#include <cstdlib>

#include "foundation/base/code_page.h"
#include "foundation/base/url_encode.h"

namespace market {

namespace {

struct Tab {
  const char16_t* control;
  const char16_t* home;
};
constexpr Tab kTabs[] = {
    {u"game_market", u"/appmarket/game/Home.html"},
    {u"game_choice", u"/appmarket/game/Choice.html"},
    {u"game_class", u"/appmarket/game/Classify.html"},
    {u"game_ranking", u"/appmarket/game/Ranking.html"},
};

bool IsAlnum(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithNoCase(const std::u16string& text, const char16_t* prefix) {
  size_t i = 0;
  for (; prefix[i] != 0; ++i)
    if (i >= text.size() || Lower(text[i]) != prefix[i]) return false;
  return true;
}

bool IsWebAddress(const std::u16string& url, size_t max) {
  if (url.size() > max || !(StartsWithNoCase(url, u"http://") || StartsWithNoCase(url, u"https://"))) return false;
  for (char16_t c : url)
    if (IsControl(c) || c == u' ') return false;
  return true;
}

}  // namespace

std::u16string MarketHost() {
  const char* host = std::getenv(kMarketHostEnv);
  std::string text = (host != nullptr && host[0] != '\0') ? host : kDefaultMarketHost;
  while (!text.empty() && text.back() == '/') text.pop_back();
  return AnsiToWString(text);
}

std::u16string HomePageUrl(int type) {
  if (type < 0 || type > 3) return std::u16string();
  return MarketHost() + kTabs[type].home;
}

const char16_t* BrowserControlName(int type) { return type >= 0 && type <= 3 ? kTabs[type].control : nullptr; }

std::u16string SearchUrl(int type, const std::u16string& text) {
  size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return std::u16string();
  size_t last = text.find_last_not_of(u' ');
  const std::u16string trimmed = text.substr(first, last - first + 1);
  // The system's ANSI code page is UTF-8: one conversion gives the UTF-8 bytes.
  std::u16string url = MarketHost() + u"/appmarket/game/search.html?q=" + AnsiToWString(UrlEncode(WStringToAnsi(trimmed)));
  if (type == 0) url += u"&type=game";
  return url;
}

std::u16string LinkId(const std::u16string& url) {
  static const std::u16string kKey = u"mavoid=";
  size_t at = url.rfind(kKey);
  if (at == std::u16string::npos) return std::u16string();
  at += kKey.size();
  size_t end = url.find(u'&', at);
  std::u16string id = url.substr(at, end == std::u16string::npos ? std::u16string::npos : end - at);
  if (id.empty() || id.size() > kMaxIdLength) return std::u16string();
  for (char16_t c : id)
    if (!IsAlnum(c) && c != u'-' && c != u'_') return std::u16string();
  return id;
}

std::u16string LinkSource(const std::u16string& url) {
  static const std::u16string kKey = u"vorn=from=";
  size_t at = url.find(kKey);
  if (at == std::u16string::npos) return std::u16string();
  std::u16string source;
  for (size_t i = at + kKey.size(); i < url.size() && source.size() < kMaxSourceLength; ++i)
    if (!IsControl(url[i])) source += url[i];
  return source;
}

bool IsDownloadLink(const std::u16string& url) {
  static const std::u16string kKey = u"vorn=down";
  for (size_t i = 0; i + kKey.size() <= url.size(); ++i) {
    size_t k = 0;
    while (k < kKey.size() && Lower(url[i + k]) == kKey[k]) ++k;
    if (k == kKey.size()) return true;
  }
  return false;
}

bool IsAcceptableLink(const std::u16string& url) { return IsWebAddress(url, kMaxLinkLength); }

std::u16string SafeAppName(const std::u16string& name) {
  static const std::u16string kRefused = u"/\\:*?\"<>|";
  std::u16string out;
  for (char16_t c : name) {
    if (IsControl(c) || kRefused.find(c) != std::u16string::npos) continue;
    if (out.empty() && (c == u'.' || c == u' ')) continue;
    if (out.size() >= kMaxNameLength) break;
    // A lone surrogate half at the cut would make broken text.
    out += c;
  }
  if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.pop_back();
  while (!out.empty() && (out.back() == u' ' || out.back() == u'.')) out.pop_back();
  return out;
}

std::u16string SafePackageName(const std::u16string& package) {
  if (package.size() > kMaxPackageLength) return std::u16string();
  for (char16_t c : package)
    if (!IsAlnum(c) && c != u'_' && c != u'.') return std::u16string();
  return package;
}

std::u16string SafeIconUrl(const std::u16string& url) {
  return IsWebAddress(url, kMaxIconUrlLength) ? url : std::u16string();
}

}  // namespace market
