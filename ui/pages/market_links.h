// The market's addresses and its download links, as pure functions.
//
// Market host: PHONEDECK_MARKET_HOST (scheme, host and port), default
// kDefaultMarketHost (the market's plain HTTP port 8000).
//
// What a market page hands over (link, element attributes) is remote text:
// each field is bounded here before the program uses it, and a field that
// cannot be made safe becomes empty.
#pragma once

#include <string>

namespace market {

constexpr char kMarketHostEnv[] = "PHONEDECK_MARKET_HOST";
constexpr char kDefaultMarketHost[] = "http://127.0.0.1:8000";

constexpr size_t kMaxLinkLength = 2048;   // a longer download link is refused
constexpr size_t kMaxIdLength = 32;
constexpr size_t kMaxSourceLength = 64;
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxPackageLength = 128;
constexpr size_t kMaxIconUrlLength = 1024;

std::u16string MarketHost();
// The home page of tab type 0..3; empty for another type.
std::u16string HomePageUrl(int type);
// The browser control of tab type 0..3 ("game_market", ...); null otherwise.
const char16_t* BrowserControlName(int type);
// host + "/appmarket/game/search.html?q=" + the text without leading and
// trailing blanks, as UTF-8 URL-encoded ("+" for a blank), + "&type=game"
// for type 0. Empty when nothing but blanks is left.
std::u16string SearchUrl(int type, const std::u16string& text);

// The text after the last "mavoid=" up to the next "&" (empty without one),
// kept only when it is 1..32 letters, digits, "-" or "_".
std::u16string LinkId(const std::u16string& url);
// The text after the first "vorn=from=" to the end (empty without one),
// control characters dropped, cut to 64 characters.
std::u16string LinkSource(const std::u16string& url);
// Whether a new-window request is a download ("vorn=down", any case).
bool IsDownloadLink(const std::u16string& url);
// Whether the link can be handed to the task manager: http(s), at most
// kMaxLinkLength, no control characters or blanks.
bool IsAcceptableLink(const std::u16string& url);

// An app name fit to be a file name: control characters, "/", "\" and
// the characters Windows refuses in names are dropped, leading dots and
// blanks removed, cut to 64 characters.
std::u16string SafeAppName(const std::u16string& name);
// A package name: letters, digits, "_" and "." only, at most 128; else empty.
std::u16string SafePackageName(const std::u16string& package);
// An icon address: http(s), at most 1024, no blanks or control characters; else empty.
std::u16string SafeIconUrl(const std::u16string& url);

}  // namespace market
