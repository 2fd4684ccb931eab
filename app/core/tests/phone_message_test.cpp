// The window poster seam and the message numbers.
#include "app/core/phone_message.h"

#include <gtest/gtest.h>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"

namespace {

static_assert(msg::kDriverDownloadProgress == 1225);
static_assert(msg::kAgentLinkFailed == 1226);
static_assert(msg::kConnectionState == 1227);
static_assert(msg::kAppBusy == 1251);
static_assert(msg::kDownloadAnimation == 1261);
static_assert(msg::kContactListLoaded == 1262);
static_assert(msg::kSmsBusy == 1273);
static_assert(msg::kVideoBusy == 1288);
static_assert(msg::kFtpProgress == 1292);
static_assert(msg::kQuitRequest == 1295);
static_assert(msg::kBringToFront == 35768 && msg::kMainMenuCommand == 35769);

struct Payload {
  static int alive;
  Payload() { ++alive; }
  ~Payload() { --alive; }
};
int Payload::alive = 0;

bool g_window_alive = true;
int g_posts = 0;
intptr_t g_last_lparam = 0;
bool TestIsWindow(uintptr_t) { return g_window_alive; }
bool TestPost(uintptr_t, uint32_t, uintptr_t, intptr_t lParam) {
  ++g_posts;
  g_last_lparam = lParam;
  return true;
}

TEST(PhoneMessageTest, SinkRecordsPostsToTheMainWindowOnly) {
  message_sink::Take();
  CConfigMgr::Instance()->SetMainWnd(0);
  EXPECT_FALSE(PostPhoneMessage(msg::kAgentLinkFailed, 0, 0));  // no window yet
  CConfigMgr::Instance()->SetMainWnd(0x1234);
  EXPECT_TRUE(PostPhoneMessage(msg::kSmsCount, 7, 0));
  EXPECT_TRUE(PostWindowMessage(0x55, msg::kFtpProgress, 3, 40));
  const auto posts = message_sink::Take();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].wnd, 0x1234u);
  EXPECT_EQ(posts[0].message, msg::kSmsCount);
  EXPECT_EQ(posts[0].wParam, 7u);
  EXPECT_EQ(posts[1].wnd, 0x55u);
  EXPECT_EQ(posts[1].lParam, 40);
  EXPECT_TRUE(message_sink::Take().empty());
}

TEST(PhoneMessageTest, FailedPostFreesTheCarriedObject) {
  CConfigMgr::Instance()->SetMainWnd(0x1234);
  SetWindowPoster(WindowPoster{TestIsWindow, TestPost});
  g_window_alive = false;
  EXPECT_FALSE(PostPhoneMessageOwning(msg::kDriverDownloadProgress, 1, std::make_unique<Payload>()));
  EXPECT_EQ(Payload::alive, 0);
  EXPECT_EQ(g_posts, 0);
  g_window_alive = true;
  EXPECT_TRUE(PostPhoneMessageOwning(msg::kDriverDownloadProgress, 1, std::make_unique<Payload>()));
  EXPECT_EQ(Payload::alive, 1);  // the receiver owns it now
  EXPECT_EQ(g_posts, 1);
  delete reinterpret_cast<Payload*>(g_last_lparam);  // as the receiver does
  EXPECT_EQ(Payload::alive, 0);
  SetWindowPoster(WindowPoster{});
  EXPECT_TRUE(PostPhoneMessage(msg::kAppBusy, 1, 0));  // back to the sink
  EXPECT_EQ(message_sink::Take().size(), 1u);
}

}  // namespace
