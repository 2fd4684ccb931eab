// The connection area and its side windows in real windows on a private X
// server: the main window while connecting and after a failure, and the
// USB-debugging help, driver progress and connection-lost windows, saved as
// screenshots (a smoke test that they render).
#include <gtest/gtest.h>

#include "app/core/message_ids.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/frame/main_frame.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;

using ui_xvfb::PumpFor;
using ui_xvfb::PumpUntil;

const auto* const kEnv =
    ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("connect_display_xvfb"));

TEST(ConnectDisplayXvfb, ConnectingFailureAndSideWindowsRender) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  CMainFrame* frame = ui_xvfb::ShowMainWindow();
  ASSERT_NE(frame, nullptr);
  HWND h = frame->GetHWND();
  auto state = [&](int s) { SendMessage(h, msg::kConnectionState, 0, s); };
  auto text = [&](const char16_t* name) { return frame->PaintManager().FindControl(name)->GetText().str(); };

  // The phone home view while connecting (the store home is selected at start).
  ASSERT_TRUE(ClickControl(frame->PaintManager(), u"myphone_optn"));
  state(1);
  state(2);
  state(4);
  EXPECT_EQ(text(u"lbl_connect"), u"连接手机中...");
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(h, "connect_connecting.png"));

  state(16);
  EXPECT_EQ(text(u"lbl_conn_failed_reason"), u"连接手机失败");
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(h, "connect_failed.png"));

  state(3);
  ASSERT_TRUE(PumpUntil([&] { return frame->AdbTips().IsVisible(); }));
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(frame->AdbTips().GetHWND(), "adb_tips.png"));
  for (int i = 0; i < 5; ++i) frame->AdbTips().ShowNext();
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(frame->AdbTips().GetHWND(), "adb_tips_last.png"));

  state(5);
  ASSERT_TRUE(PumpUntil([&] { return frame->OfflineTips().IsVisible(); }));
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(frame->OfflineTips().GetHWND(), "offline_tips.png"));

  state(10);
  ASSERT_TRUE(PumpUntil([&] { return frame->DrvProgress().IsVisible(); }));
  auto* progress = new DriverDownloadProgress;
  progress->status = 4;
  progress->first = 1000;
  progress->second = 600;
  frame->DrvProgress().SetProgress(progress);
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(frame->DrvProgress().GetHWND(), "drv_progress.png"));

  DestroyWindow(h);
  PumpFor(100);
  delete frame;
}

}  // namespace
