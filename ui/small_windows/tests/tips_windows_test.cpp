// The USB-debugging help window and the connection-lost window.
#include <string>

#include "app/connect/connect_state.h"
#include "app/core/message_ids.h"
#include "ui/small_windows/adb_tips_wnd.h"
#include "ui/small_windows/offline_tips_wnd.h"
#include "ui/small_windows/tests/small_windows_fixture.h"

namespace small_windows_test {
namespace {

template <typename Wnd>
class TipsTest : public SmallWindowsTest {
 public:
  void SetUp() override {
    SmallWindowsTest::SetUp();
    wnd.SetReconnect([this](bool force) { reconnects.push_back(force); });
    ASSERT_TRUE(wnd.Create(parent_hwnd));
    h = wnd.GetHWND();
    wnd.Show();
    Pump();
  }
  void TearDown() override {
    if (IsWindow(h)) DestroyWindow(h);
    SmallWindowsTest::TearDown();
  }
  int Cancels() const { return Received(msg::kConnectionState, 0, kConn_Cancel); }

  Wnd wnd;
  HWND h = 0;
  std::vector<bool> reconnects;
};

using AdbTipsTest = TipsTest<CAdbTipsWnd>;
using OfflineTipsTest = TipsTest<COfflineTipsWnd>;

// "0123456789" with '-' for hidden pictures.
std::string Shown(HWND h) {
  auto* list = static_cast<CListUI*>(Find(h, u"tips_image_list")->GetInterface(u"List"));
  std::string s;
  for (int i = 0; i < list->GetCount(); ++i) s += list->GetItemAt(i)->IsVisible() ? char('0' + i) : '-';
  return s;
}

bool Enabled(HWND h, const char16_t* name) { return Find(h, name)->IsEnabled(); }

TEST_F(AdbTipsTest, LayoutOfTheHelpWindow) {
  EXPECT_EQ(WindowSize(h).cx, 710);
  EXPECT_EQ(WindowSize(h).cy, 402);
  EXPECT_EQ(TextOf(h, u"titlelabel"), u"USB调试开关");
  EXPECT_EQ(TextOf(h, u"opened_btn"), u"我已打开");
  EXPECT_EQ(Find(h, u"tips_image_list")->GetFixedHeight(), 265);
  EXPECT_EQ(Find(h, u"opened_btn")->GetFixedWidth(), 88);
  for (const char16_t* b : {u"tips_forward_btn", u"tips_back_btn"}) {
    RECT rc = Find(h, b)->GetPos();
    EXPECT_EQ(rc.top, 150);
    EXPECT_EQ(rc.right - rc.left, 36);
  }
  EXPECT_EQ(Find(h, u"tips_forward_btn")->GetPos().left, 0);
  EXPECT_EQ(Find(h, u"tips_back_btn")->GetPos().right, 710);
}

// Three pictures at a time: seven nexts reach the last three and disable
// next; one previous then enables both.
TEST_F(AdbTipsTest, PagingThroughTheTenPictures) {
  EXPECT_EQ(wnd.PageIndex(), 2);
  EXPECT_EQ(Shown(h), "012-------");
  EXPECT_FALSE(Enabled(h, u"tips_forward_btn"));
  EXPECT_TRUE(Enabled(h, u"tips_back_btn"));
  ClickControl(h, u"tips_forward_btn");  // disabled: nothing moves
  EXPECT_EQ(Shown(h), "012-------");

  const char* const after_next[] = {"-123------", "--234-----", "---345----", "----456---",
                                    "-----567--", "------678-", "-------789"};
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(ClickControl(h, u"tips_back_btn"));
    EXPECT_EQ(Shown(h), after_next[i]) << i;
    EXPECT_TRUE(Enabled(h, u"tips_forward_btn")) << i;
    EXPECT_EQ(Enabled(h, u"tips_back_btn"), i < 6) << i;
  }
  EXPECT_EQ(wnd.PageIndex(), 9);
  ClickControl(h, u"tips_back_btn");  // disabled now
  EXPECT_EQ(wnd.PageIndex(), 9);

  ClickControl(h, u"tips_forward_btn");
  EXPECT_EQ(Shown(h), "------678-");
  EXPECT_TRUE(Enabled(h, u"tips_forward_btn"));
  EXPECT_TRUE(Enabled(h, u"tips_back_btn"));
  for (int i = 0; i < 6; ++i) ClickControl(h, u"tips_forward_btn");
  EXPECT_EQ(Shown(h), "012-------");
  EXPECT_FALSE(Enabled(h, u"tips_forward_btn"));
  EXPECT_TRUE(Enabled(h, u"tips_back_btn"));

  // The page stays where it was for the next showing.
  ClickControl(h, u"tips_back_btn");
  wnd.Hide();
  wnd.Show();
  EXPECT_EQ(Shown(h), "-123------");
}

TEST_F(AdbTipsTest, EscapeAndCloseCancelOnceEach) {
  PressKey(h, VK_RETURN);
  Pump();
  EXPECT_TRUE(wnd.IsVisible());
  EXPECT_EQ(Cancels(), 0);
  PressKey(h, VK_ESCAPE);
  Pump();
  EXPECT_FALSE(wnd.IsVisible());
  EXPECT_EQ(Cancels(), 1);
  EXPECT_EQ(parent.received.size(), 1u);
  wnd.Show();
  ClickControl(h, u"close_btn");
  Pump();
  EXPECT_FALSE(wnd.IsVisible());
  EXPECT_EQ(Cancels(), 2);
  EXPECT_TRUE(reconnects.empty());
}

TEST_F(AdbTipsTest, OpenedReconnectsWithForce) {
  ClickControl(h, u"opened_btn");
  Pump();
  EXPECT_FALSE(wnd.IsVisible());
  EXPECT_EQ(reconnects, std::vector<bool>{true});
  EXPECT_TRUE(parent.received.empty());
}

TEST_F(OfflineTipsTest, LayoutOfTheOfflineWindow) {
  EXPECT_EQ(WindowSize(h).cx, 710);
  EXPECT_EQ(WindowSize(h).cy, 402);
  EXPECT_EQ(TextOf(h, u"titlelabel"), u"手机已离线-请按照图示尝试解决方案");
  EXPECT_EQ(TextOf(h, u"retry_btn"), u"再试一次");
  EXPECT_EQ(TextOf(h, u"goto_forum"), u"如何打开？");
  EXPECT_NE(Find(h, u"close_btn"), nullptr);
}

// Escape hides the window and delivers state 18 exactly once; Enter does nothing.
TEST_F(OfflineTipsTest, EscapeCancelsOnceAndEnterDoesNothing) {
  PressKey(h, VK_RETURN);
  Pump();
  EXPECT_TRUE(wnd.IsVisible());
  EXPECT_TRUE(parent.received.empty());
  PressKey(h, VK_ESCAPE);
  Pump();
  EXPECT_FALSE(wnd.IsVisible());
  EXPECT_EQ(Cancels(), 1);
  EXPECT_EQ(parent.received.size(), 1u);
}

TEST_F(OfflineTipsTest, CloseCancelsAndRetryReconnects) {
  ClickControl(h, u"goto_forum");  // leads nowhere
  Pump();
  EXPECT_TRUE(wnd.IsVisible());
  ClickControl(h, u"close_btn");
  Pump();
  EXPECT_FALSE(wnd.IsVisible());
  EXPECT_EQ(Cancels(), 1);
  wnd.Show();
  ClickControl(h, u"retry_btn");  // with no phone open as well
  Pump();
  EXPECT_FALSE(wnd.IsVisible());
  EXPECT_EQ(reconnects, std::vector<bool>{true});
  EXPECT_EQ(Cancels(), 1);
}

}  // namespace
}  // namespace small_windows_test
