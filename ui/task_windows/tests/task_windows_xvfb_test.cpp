// The task list window, the batch progress box, the feedback window and the
// ignored-updates window in real windows on a private X server, saved as
// screenshots in <build>/screenshots (a smoke test that they render).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "app/core/message_ids.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/frame/main_frame.h"
#include "ui/task_windows/auto_task_dlg.h"
#include "ui/task_windows/feedback_wnd.h"
#include "ui/task_windows/ignore_update_dlg.h"
#include "ui/task_windows/message_box_dlg.h"
#include "ui/task_windows/tests/task_windows_fixture.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;
using task_windows_test::FakeTaskMgr;

using ui_xvfb::PumpFor;
using ui_xvfb::PumpUntil;
using ui_xvfb::Shot;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("task_windows_xvfb"));

std::u16string Icon(const char* name) { return Utf8ToUtf16(std::string(PD_SKIN_PNG_DIR) + "/" + name); }

TEST(TaskWindowsXvfb, TaskListWindowRendersBothTabs) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  FakeTaskMgr tasks;
  SOnlineTask& a = tasks.AddOnline(1, kTaskDownloading, u"地图导航");
  a.icon_path = Icon("tile_app.png");
  a.progress = {4, 1536000, 40000000, 16000000};
  tasks.AddOnline(2, kTaskWaitingDownload, u"天气预报").icon_path = Icon("tile_music.png");
  tasks.AddOnline(3, kTaskPaused, u"音乐播放器");
  tasks.AddOnline(4, kTaskDownloadFailed, u"相册").icon_path = Icon("tile_pic.png");
  tasks.AddOnline(5, kTaskInstalling, u"通讯录备份").icon_path = Icon("tile_contact.png");
  tasks.AddOnline(6, kTaskInstallFailed, u"短信助手").icon_path = Icon("tile_sms.png");
  tasks.AddOffline(7, u"视频播放器").icon_path = Icon("tile_video.png");
  tasks.AddOffline(8, u"一个名字很长很长很长很长很长很长的应用");

  CAutoTaskDlg dlg;
  dlg.SetTaskManager(&tasks);
  dlg.Create(0);
  ASSERT_NE(dlg.GetHWND(), 0u);
  dlg.ShowAt(200, 500);
  ASSERT_TRUE(PumpUntil([&] { return dlg.IsVisible(); }));
  PumpFor(300);
  Shot(dlg.GetHWND(), "task_list_empty.png");
  for (uint32_t id = 1; id <= 6; ++id) {
    bool handled = false;
    dlg.HandleMessage(msg::kOnlineTaskAdded, id, 0, handled);
  }
  bool handled = false;
  dlg.HandleMessage(msg::kTaskListLoaded, 0, 0, handled);
  dlg.ShowAt(200, 500);
  ASSERT_TRUE(PumpUntil([&] { return dlg.IsVisible(); }));
  PumpFor(300);
  Shot(dlg.GetHWND(), "task_list_online.png");
  EXPECT_GT(dlg.OnlineList()->GetScrollRange().cy, 0);  // six rows do not fit: the bar shows

  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"taskwait_page"));
  HoverControl(dlg.OfflineList()->GetItemAt(0));
  PumpFor(300);
  Shot(dlg.GetHWND(), "task_list_offline.png");
  DestroyWindow(dlg.GetHWND());
  PumpFor(100);
}

TEST(TaskWindowsXvfb, TheMainWindowsTaskButtonOpensTheTaskListAtIt) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  CMainFrame* frame = ui_xvfb::ShowMainWindow();
  ASSERT_NE(frame, nullptr);
  HWND h = frame->GetHWND();
  ASSERT_TRUE(ClickControl(frame->PaintManager(), u"autotask_btn"));
  ASSERT_TRUE(PumpUntil([&] { return frame->AutoTask().IsVisible(); }));
  PumpFor(300);
  RECT task, button = frame->PaintManager().FindControl(u"autotask_btn")->GetPos();
  POINT corner = MakePoint(button.left, button.top);
  ClientToScreen(h, &corner);
  GetWindowRect(frame->AutoTask().GetHWND(), &task);
  const RECT work = CPaintManagerUI::GetHost()->GetWorkArea();
  EXPECT_EQ(task.left, corner.x + 10);
  EXPECT_EQ(task.bottom, std::max<long>(corner.y + 10, work.top + task.bottom - task.top));
  Shot(frame->AutoTask().GetHWND(), "task_list_from_main_window.png");
  DestroyWindow(h);
  PumpFor(100);
  delete frame;
}

TEST(TaskWindowsXvfb, BatchBoxRendersInProgressAndFinished) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  CMessageBoxDlg box;
  box.SetJobKind(kExportPictures);
  HWND h = ShowMessageBoxDlg(&box, 0);
  ASSERT_NE(h, 0u);
  box.ShowWindow(true, true);
  PostMessage(h, msg::kBatchProgress, 10, 3);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h); }));
  PumpFor(300);
  Shot(h, "batch_box_progress.png");
  PostMessage(h, msg::kBatchProgress, 10, 10);
  PumpFor(300);
  Shot(h, "batch_box_finished.png");
  DestroyWindow(h);
  PumpFor(100);
}

// The longest result: some items failed.
TEST(TaskWindowsXvfb, BatchBoxRendersFailuresApart) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  CMessageBoxDlg box;
  box.SetJobKind(kDeleteContacts);
  HWND h = ShowMessageBoxDlg(&box, 0);
  ASSERT_NE(h, 0u);
  box.ShowWindow(true, true);
  ASSERT_TRUE(box.StartWorker([](const BatchJobControl& control) {
    for (int i = 0; i < 13; ++i) control.CountFailure();
    PostMessage(control.Window(), msg::kBatchFinished, 120, 0);
  }));
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h) && box.Countdown() < 3; }));
  PumpFor(300);
  Shot(h, "batch_box_failed.png");
  DestroyWindow(h);
  PumpFor(100);
}

TEST(TaskWindowsXvfb, FeedbackAndIgnoredUpdatesWindowsRender) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  unsetenv("PHONEDECK_CHAT_HOST");  // the skin's pictures of the support accounts
  CFeedbackWnd feedback;
  HWND f = feedback.Create(0, u"FeedbackWnd", 0x80000000, 0x80, 0, 0, 600, 400);
  ASSERT_NE(f, 0u);
  feedback.CenterWindow();
  feedback.ShowWindow(true, true);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(f); }));
  PumpFor(300);
  Shot(f, "feedback_wnd.png");
  DestroyWindow(f);
  PumpFor(100);

  class Phone : public IIgnoredAppsPhone {
   public:
    bool FindAppByPackage(const std::u16string& package, IgnoredApp* app) override {
      if (package == u"a.b") *app = {11, u"地图导航", u"12.5 MB", Icon("tile_app.png"), u"3.1.0", u"3.2.0"};
      else if (package == u"c.d") *app = {22, u"天气预报", u"4.0 MB", u"", u"1.0", u"1.1"};
      else return false;
      return true;
    }
    bool UnignoreAppUpdate(uint32_t) override { return true; }
  } phone;
  CConfigMgr::Instance()->SetPhonePaths(u"xvfb-phone");
  CConfigMgr::Instance()->AddIgnoreApp(u"a.b");
  CConfigMgr::Instance()->AddIgnoreApp(u"c.d");
  CIgnoreUpdateDlg ignore([&] { return &phone; });
  HWND g = ignore.Create(0, u"IgnoreUpdateDlg", 0x80000000, 0x80, 0, 0, 600, 400);
  ASSERT_NE(g, 0u);
  ignore.CenterWindow();
  ignore.ShowWindow(true, true);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(g); }));
  ClickControl(ignore.List()->RowCheckBox(ignore.List()->GetItemAt(0)));
  PumpFor(300);
  Shot(g, "ignore_updates_wnd.png");
  DestroyWindow(g);
  PumpFor(100);
}

}  // namespace
