// The link form of the product's scheme and the file names it may give.
#include <gtest/gtest.h>

#include "foundation/base/code_page.h"
#include "scheme_url.h"

namespace {

using swarmload::LinkForm;

TEST(SchemeLink, Forms) {
  const std::string hash32 = "0123456789ABCDEF0123456789abcdef";
  const struct {
    std::string link;
    LinkForm form;
    const char* hash;
    const char* name;
  } cases[] = {
      {"QEN://game.apk&" + hash32 + "=1", LinkForm::kScheme, "0123456789abcdef0123456789abcdef", "game.apk"},
      {"QEN://game&" + hash32.substr(0, 31) + "=1", LinkForm::kMalformed, "", ""},
      {"QEN://game&" + hash32 + "0=1", LinkForm::kMalformed, "", ""},
      {"QEN://a=b&" + hash32 + "=1", LinkForm::kMalformed, "", ""},
      {"QEN://game", LinkForm::kMalformed, "", ""},
      {"http://127.0.0.1/game.apk", LinkForm::kNotScheme, "", ""},
      // Hash characters that are not hex digits: an all-zero digest.
      {"QEN://g&0123456789ABCDEF0123456789abcdeX=1", LinkForm::kScheme, "0123456789abcdef0123456789abcde0", "g"},
      {"QEN://g&\xe6\xb8\xb8" "123456789ABCDEF0123456789abcdef=1", LinkForm::kScheme,
       "00000000000000000000000000000000", "g"},
      {"QEN://&" + hash32 + "=1", LinkForm::kScheme, "0123456789abcdef0123456789abcdef", nullptr},
  };
  for (const auto& c : cases) {
    swarmload::SchemeLink parts;
    EXPECT_EQ(swarmload::ParseSchemeLink(AnsiToWString(c.link), &parts), c.form) << c.link;
    if (c.form != LinkForm::kScheme) continue;
    EXPECT_EQ(WStringToAnsi(parts.expected_hash), c.hash) << c.link;
    EXPECT_EQ(WStringToAnsi(parts.name), c.name != nullptr ? c.name : c.link) << c.link;
  }
}

TEST(SchemeLink, SafeFileNames) {
  const struct {
    const char16_t* text;
    const char16_t* name;
  } cases[] = {
      {u"game.apk", u"game.apk"}, {u"../x.apk", u"x.apk"}, {u"/etc/passwd", u"passwd"},
      {u"a\\b.apk", u"b.apk"},    {u"..", u""},            {u".", u""},
      {u"", u""},                 {u"\"q.apk\"", u"\"q.apk\""}, {u"a\u0001b\u007f.apk", u"ab.apk"},
      {u"游戏.apk", u"游戏.apk"}, {u"it's-файл.bin", u"it's-файл.bin"},
  };
  for (const auto& c : cases) EXPECT_EQ(swarmload::SafeFileName(c.text), c.name) << WStringToAnsi(c.text);
}

}  // namespace
