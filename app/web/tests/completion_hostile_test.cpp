// The completion service's reply as an attacker or a broken server sends
// it: one table, each row read by the parser alone and then fetched from
// the loopback market site through the whole query. No row may throw,
// crash or leave names behind; only a plain array of strings is an answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/web/app_suggestion.h"
#include "app/web/easy_curl_get.h"
#include "foundation/base/tests/case_name.h"
#include "market_site.h"

namespace {

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct HostileReply {
  const char* label;
  std::string body;
  bool parsed;         // what ParseAppNames answers
  size_t names;        // how many names it gives then
  bool over_the_wire;  // what QueryAppNames answers for the same body served
};

// A reply whose names fill more than the query keeps of a body.
std::string LongNameList() {
  return "[\"" + std::string(EasyCurlGet::kMaxBodyBytes, 'a') + "\"]";
}

const HostileReply kReplies[] = {
    {"nested 1001 deep", Repeat("[", 1001), false, 0, false},
    {"nested 1001 deep and closed", Repeat("[", 1001) + Repeat("]", 1001), false, 0, false},
    {"nested 100000 deep", Repeat("[", 100000), false, 0, false},
    {"objects nested 5000 deep", Repeat("{\"a\":", 5000) + "1" + Repeat("}", 5000), false, 0, false},
    {"array of arrays", "[[\"a\"],[\"b\"]]", false, 0, false},
    {"a number among names", "[\"a\",1e999999]", false, 0, false},
    {"null among names", "[\"a\",null]", false, 0, false},
    {"cut inside a string", "[\"abc", false, 0, false},
    {"cut after an element", "[\"a\",", false, 0, false},
    {"a lone surrogate escape", "[\"\\ud800\"]", false, 0, false},
    {"an HTML error page", "<html><body>502</body></html>", false, 0, false},
    {"empty body", "", false, 0, false},
    {"only blanks", "   \r\n\t", false, 0, false},
    {"a name with an escaped NUL", "[\"a\\u0000b\"]", true, 1, true},
    {"a name of bytes that are no UTF-8", "[\"\xff\xfe\x80\"]", true, 1, true},
    {"a name with a raw NUL", std::string("[\"a\0b\"]", 7), true, 1, true},
    {"text after the array", "[\"a\"] trailing", true, 1, true},
    {"100000 short names", "[" + Repeat("\"n\",", 99999) + "\"n\"]", true, 100000, true},
    {"one name longer than the reply may be", LongNameList(), true, 1, false},
};

class CompletionHostileReply : public ::testing::TestWithParam<HostileReply> {};

TEST_P(CompletionHostileReply, GivesNamesOnlyForAnArrayOfStrings) {
  const HostileReply& row = GetParam();
  std::vector<std::u16string> names{u"old"};
  bool parsed = false;
  EXPECT_NO_THROW(parsed = ParseAppNames(row.body.data(), row.body.size(), &names));
  EXPECT_EQ(parsed, row.parsed);
  EXPECT_EQ(names.size(), row.names);

  market_site::MarketSite site;
  ASSERT_GT(site.Start(), 0);
  setenv(kCompletionHostEnv, site.Base().c_str(), 1);
  // The site answers its own list for an empty knob: an empty body is
  // served as blanks that read the same.
  site.SetCompletionBody(row.body.empty() ? " " : row.body);
  names = {u"old"};
  bool fetched = false;
  EXPECT_NO_THROW(fetched = QueryAppNames(u"坦克", &names));
  unsetenv(kCompletionHostEnv);
  EXPECT_EQ(fetched, row.over_the_wire);
  EXPECT_EQ(names.size(), row.over_the_wire ? row.names : 0u);
}

INSTANTIATE_TEST_SUITE_P(Completion, CompletionHostileReply, ::testing::ValuesIn(kReplies),
                         testing_support::NamedBy(&HostileReply::label));

}  // namespace
