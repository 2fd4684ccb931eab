// The loopback market site: its pages carry the links and elements the
// market page reads, and it refuses paths and queries the market never sends.
#include "market_site.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

struct Case {
  const char* target;
  int status;
};

class MarketSiteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(site_.Start(), 0); }
  httplib::Result Get(const std::string& target) {
    httplib::Client client("127.0.0.1", std::stoi(site_.Base().substr(17)));
    return client.Get(target.c_str());
  }
  market_site::MarketSite site_;
};

TEST_F(MarketSiteTest, StrictAboutPathsAndQueries) {
  const Case cases[] = {
      {"/appmarket/game/Home.html", 200},
      {"/appmarket/game/Choice.html", 200},
      {"/appmarket/game/Classify.html", 200},
      {"/appmarket/game/Ranking.html", 200},
      {"/appmarket/game/Home.html?x=1", 400},
      {"/appmarket/game/home.html", 404},
      {"/appmarket/game/search.html?q=%E5%9D%A6%E5%85%8B&type=game", 200},
      {"/appmarket/game/search.html?q=a+b", 200},
      {"/appmarket/game/search.html?q=a&type=app", 400},
      {"/appmarket/game/search.html?type=game&q=a", 400},
      {"/appmarket/game/search.html", 400},
      {"/appmarket/game/search.html?q=%ZZ", 400},
      {"/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&mavoid=1001&vorn=from=search", 200},
      {"/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&mavoid=1002&vorn=from=search", 400},
      {"/appmarket/game/apk/com.zelvik.tankwar.apk?mavoid=1001&vorn=from=search", 400},
      {"/appmarket/game/apk/com.zelvik.tankwar.apk", 400},
      {"/appmarket/game/apk/com.zelvik.none.apk?vorn=down&mavoid=1001&vorn=from=search", 404},
      {"/appmarket/game/icon/1001.png", 200},
      {"/appmarket/game/icon/9.png", 404},
      {"/handler/InteractionHandler.ashx?action=AppNameComplete&name=%E5%9D%A6", 200},
      {"/handler/InteractionHandler.ashx?action=Other&name=a", 400},
      {"/handler/InteractionHandler.ashx?name=a&action=AppNameComplete", 400},
      {"/handler/InteractionHandler.ashx?action=AppNameComplete", 400},
  };
  for (const Case& c : cases) {
    auto r = Get(c.target);
    ASSERT_TRUE(r) << c.target;
    EXPECT_EQ(r->status, c.status) << c.target;
  }
}

TEST_F(MarketSiteTest, PagesCarryLinksAndInfoElements) {
  auto r = Get("/appmarket/game/search.html?q=%E5%9D%A6%E5%85%8B&type=game");
  ASSERT_TRUE(r);
  const std::string& page = r->body;
  EXPECT_NE(page.find("/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&amp;mavoid=1001&amp;vorn=from=search\" "
                      "target=\"_blank\""),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("id=\"info_1001\" name=\"坦克大战\" ico=\"" + site_.Base() +
                      "/appmarket/game/icon/1001.png\" package=\"com.zelvik.tankwar\""),
            std::string::npos);
  EXPECT_NE(page.find("info_1002"), std::string::npos);
  EXPECT_EQ(page.find("info_1003"), std::string::npos);  // not a match for the keyword
}

TEST_F(MarketSiteTest, ServesRealPackages) {
  auto r = Get("/appmarket/game/apk/com.zelvik.tankwar.apk?vorn=down&mavoid=1001&vorn=from=home");
  ASSERT_TRUE(r);
  ASSERT_GT(r->body.size(), 4u);
  EXPECT_EQ(r->body.substr(0, 4), std::string("PK\x03\x04", 4));
}

TEST_F(MarketSiteTest, CompletionAnswersNamesWithTheKeyword) {
  auto r = Get("/handler/InteractionHandler.ashx?action=AppNameComplete&name=%E5%9D%A6%E5%85%8B");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "[\"坦克大战\",\"坦克世界\"]");
  auto none = Get("/handler/InteractionHandler.ashx?action=AppNameComplete&name=zz");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->body, "[]");
  EXPECT_EQ(site_.CompletionKeywords(), (std::vector<std::string>{"坦克", "zz"}));
}

}  // namespace
