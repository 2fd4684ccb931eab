// The about box and the browser opener.
#include "ui/small_windows/about_wnd.h"
#include "ui/small_windows/browser_opener.h"
#include "ui/small_windows/tests/small_windows_fixture.h"

namespace small_windows_test {
namespace {

using AboutTest = SmallWindowsTest;

TEST_F(AboutTest, ShowsTheVersionRecordAndClosesWithItsCloseButton) {
  int scripts = 0;
  host->PushModalScript([&](HWND box) {
    ++scripts;
    EXPECT_EQ(WindowSize(box).cx, 390);
    EXPECT_EQ(WindowSize(box).cy, 240);
    EXPECT_EQ(TextOf(box, u"titlelabel"), u"关于");
    EXPECT_EQ(TextOf(box, u"verterlab"), u"( 2.1.0.35 )");
    const std::u16string rights = CConfigMgr::Instance()->GetVersionInfo().GetLegalCopyright();
    EXPECT_EQ(TextOf(box, u"copyrightlab"), u"<f 0>" + std::u16string(kOwnershipNotice) + u"<n>" + rights + u"</f>");
    EXPECT_EQ(TextOf(box, u"okbtn"), u"确定");
    EXPECT_FALSE(Find(box, u"okbtn")->IsVisible());
    // A second box while this one is open does nothing (no second modal loop).
    ShowAboutWindow(parent_hwnd);
    EXPECT_TRUE(ClickControl(box, u"close_btn"));
  });
  ShowAboutWindow(parent_hwnd);
  EXPECT_EQ(scripts, 1);
  EXPECT_EQ(FindWindow(u"AboutWnd", nullptr), 0u);
  // Closed, the next one opens again.
  host->PushModalScript([&](HWND box) {
    ++scripts;
    ClickControl(box, u"close_btn");
  });
  ShowAboutWindow(parent_hwnd);
  EXPECT_EQ(scripts, 2);
}

using BrowserTest = SmallWindowsTest;

// The address reaches the opener as it is, one argument, never through a shell.
TEST_F(BrowserTest, OpensTheAddressAsOneArgument) {
  const size_t before = host->ShellOpened().size();
  OpenUrlInBrowser(u"");
  EXPECT_EQ(host->ShellOpened().size(), before);
  const std::u16string tricky = u"http://127.0.0.1:8080/a b?x=1&y='2';touch /tmp/x;$(rm -rf ~)`id`|cat";
  OpenUrlInBrowser(tricky, 1, true);
  ASSERT_EQ(host->ShellOpened().size(), before + 1);
  EXPECT_EQ(host->ShellOpened().back().str(), tricky);
  OpenUrlInBrowser(u"http://127.0.0.1/论坛");
  EXPECT_EQ(host->ShellOpened().back().str(), u"http://127.0.0.1/论坛");
}

}  // namespace
}  // namespace small_windows_test
