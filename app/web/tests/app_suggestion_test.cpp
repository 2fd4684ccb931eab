// App-name completion: the request URL, the reply parsing, and the worker
// against the loopback market site's completion service.
#include "app/web/app_suggestion.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <condition_variable>
#include <mutex>

#include "market_site.h"

namespace {

struct UrlCase {
  const char16_t* keyword;
  const char* query;
};

TEST(AppSuggestion, UrlEncodesTheKeywordAsUtf8) {
  setenv(kCompletionHostEnv, "http://127.0.0.1:9/", 1);
  const UrlCase cases[] = {
      {u"", ""},
      {u"qq", "qq"},
      {u"a b", "a+b"},
      {u"坦克", "%E5%9D%A6%E5%85%8B"},
      {u" 坦 克 ", "+%E5%9D%A6+%E5%85%8B+"},
      {u"a&name=b", "a%26name%3Db"},
      {u"-_.~", "-_.~"},
  };
  for (const UrlCase& c : cases)
    EXPECT_EQ(AppNameCompleteUrl(c.keyword),
              std::string("http://127.0.0.1:9/handler/InteractionHandler.ashx?action=AppNameComplete&name=") + c.query);
  unsetenv(kCompletionHostEnv);
  EXPECT_EQ(CompletionHost(), kDefaultCompletionHost);
}

struct ParseCase {
  const char* body;
  bool ok;
  std::vector<std::u16string> names;
};

TEST(AppSuggestion, OnlyAnArrayOfStringsIsAnAnswer) {
  const ParseCase cases[] = {
      {"[\"坦克大战\",\"坦克世界\"]", true, {u"坦克大战", u"坦克世界"}},
      {"[]", false, {}},
      {"/* c */ [\"a\"]", true, {u"a"}},
      {"{\"a\":\"b\"}", false, {}},
      {"\"a\"", false, {}},
      {"null", false, {}},
      {"[\"a\", 1]", false, {}},
      {"[[\"a\"]]", false, {}},
      {"[\"a\",", false, {}},
      {"<html>", false, {}},
  };
  for (const ParseCase& c : cases) {
    std::vector<std::u16string> names{u"old"};
    EXPECT_EQ(ParseAppNames(c.body, strlen(c.body), &names), c.ok) << c.body;
    EXPECT_EQ(names, c.names) << c.body;
  }
}

class CompletionService : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(site_.Start(), 0);
    setenv(kCompletionHostEnv, site_.Base().c_str(), 1);
  }
  void TearDown() override { unsetenv(kCompletionHostEnv); }
  market_site::MarketSite site_;
};

TEST_F(CompletionService, QueryAnswersTheServiceNames) {
  std::vector<std::u16string> names{u"old"};
  EXPECT_TRUE(QueryAppNames(u"坦克", &names));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"坦克大战", u"坦克世界"}));
  EXPECT_FALSE(QueryAppNames(u"nothing", &names));
  EXPECT_TRUE(names.empty());
  for (const char* odd : {"{\"names\":[\"a\"]}", "[1,2]", "not json"}) {
    site_.SetCompletionBody(odd);
    names = {u"old"};
    EXPECT_FALSE(QueryAppNames(u"坦克", &names)) << odd;
    EXPECT_TRUE(names.empty()) << odd;
  }
  EXPECT_EQ(site_.CompletionKeywords().size(), 5u);
}

TEST(AppSuggestionNoService, AFailedRequestGivesNoNames) {
  market_site::MarketSite gone;
  ASSERT_GT(gone.Start(), 0);
  const std::string base = gone.Base();
  gone.Stop();
  setenv(kCompletionHostEnv, base.c_str(), 1);
  std::vector<std::u16string> names{u"old"};
  EXPECT_FALSE(QueryAppNames(u"坦克", &names));
  EXPECT_TRUE(names.empty());
  unsetenv(kCompletionHostEnv);
}

// What the worker's callback saw, in order.
class Answers {
 public:
  void Add(std::vector<std::u16string> names) {
    std::lock_guard<std::mutex> hold(lock_);
    seen_.push_back(std::move(names));
    changed_.notify_all();
  }
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::seconds(10), [&] { return seen_.size() >= n; });
  }
  std::vector<std::vector<std::u16string>> Seen() {
    std::lock_guard<std::mutex> hold(lock_);
    return seen_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::vector<std::u16string>> seen_;
};

TEST_F(CompletionService, AKeywordTypedDuringASlowQueryIsAskedNext) {
  Answers answers;
  CAppSearchThread worker([&](std::vector<std::u16string> names) { answers.Add(std::move(names)); });
  site_.HoldCompletion("坦");
  worker.Search(u"坦");
  ASSERT_TRUE(site_.WaitForCompletions(1, 10000));
  worker.Search(u"坦克世");  // while the first answer is held
  site_.ReleaseCompletion();
  ASSERT_TRUE(answers.WaitFor(2));
  EXPECT_EQ(site_.CompletionKeywords(), (std::vector<std::string>{"坦", "坦克世"}));
  const auto seen = answers.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (std::vector<std::u16string>{u"坦克大战", u"坦克世界"}));
  EXPECT_EQ(seen[1], (std::vector<std::u16string>{u"坦克世界"}));
  // Idle again: the next keyword starts a new run.
  worker.Search(u"飞车");
  ASSERT_TRUE(answers.WaitFor(3));
  EXPECT_EQ(answers.Seen()[2], (std::vector<std::u16string>{u"飞车竞速"}));
}

TEST_F(CompletionService, EmptyAnswerStillCallsBack) {
  Answers answers;
  CAppSearchThread worker([&](std::vector<std::u16string> names) { answers.Add(std::move(names)); });
  site_.SetCompletionBody("[]");
  worker.Search(u"坦克");
  ASSERT_TRUE(answers.WaitFor(1));
  EXPECT_TRUE(answers.Seen()[0].empty());
}

}  // namespace
