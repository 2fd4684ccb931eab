// The task list window, the batch progress box, the feedback window and the
// ignored-updates window in real windows on a private X server, saved as
// screenshots in <build>/screenshots (a smoke test that they render).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "app/core/message_ids.h"
#include "app/task/p2sp_client.h"
#include "qenui/gtk/tests/xtest_input.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/frame/main_frame.h"
#include "ui/task_windows/auto_task_dlg.h"
#include "ui/task_windows/feedback_wnd.h"
#include "ui/task_windows/ignore_update_dlg.h"
#include "ui/task_windows/message_box_dlg.h"
#include "ui/task_windows/task_lists.h"
#include "ui/task_windows/tests/task_windows_fixture.h"
#include "ui/tests/frame_fixture.h"
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
  SOnlineTask& failed = tasks.AddOnline(4, kTaskDownloadFailed, u"相册");
  failed.icon_path = Icon("tile_pic.png");
  failed.state_detail = kEngineFailFile;  // the disk was full: the row says so in its tooltip
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
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(dlg.GetHWND(), "task_list_empty.png"));
  for (uint32_t id = 1; id <= 6; ++id) {
    bool handled = false;
    dlg.HandleMessage(msg::kOnlineTaskAdded, id, 0, handled);
  }
  bool handled = false;
  dlg.HandleMessage(msg::kTaskListLoaded, 0, 0, handled);
  dlg.ShowAt(200, 500);
  ASSERT_TRUE(PumpUntil([&] { return dlg.IsVisible(); }));
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(dlg.GetHWND(), "task_list_online.png"));
  EXPECT_GT(dlg.OnlineList()->GetScrollRange().cy, 0);  // six rows do not fit: the bar shows
  EXPECT_EQ(dlg.OnlineList()->GetItemAt(3)->GetToolTip(), DownloadFailureText(kEngineFailFile));
  {
    // The pointer resting on the failed row shows why it failed.
    qenui_gtk_test::XTestInput input;
    ASSERT_TRUE(input.Open(std::getenv("DISPLAY"))) << "the X server lacks XTest";
    const RECT row = dlg.OnlineList()->GetItemAt(3)->GetPos();
    POINT at = MakePoint(row.left + 60, (row.top + row.bottom) / 2);
    ClientToScreen(dlg.GetHWND(), &at);
    input.MoveTo(static_cast<int>(at.x), static_cast<int>(at.y));
    input.Sync();
    RECT tip;
    ASSERT_TRUE(PumpUntil([&] { return !ui_xvfb::ShownToolTip().empty(); }, 5000)) << "no tooltip shown";
    EXPECT_EQ(ui_xvfb::ShownToolTip(&tip), CDuiString(DownloadFailureText(kEngineFailFile)).ToUtf8());
    RECT window;
    GetWindowRect(dlg.GetHWND(), &window);
    ui_xvfb::ScreenShotOf(MakeRect(std::min(window.left, tip.left), std::min(window.top, tip.top),
                                   std::max(window.right, tip.right), std::max(window.bottom, tip.bottom)),
                          "task_list_failed_tooltip.png");
    input.MoveTo(0, 0);
    input.Sync();
    ASSERT_TRUE(PumpUntil([&] { return ui_xvfb::ShownToolTip().empty(); }, 5000)) << "the tooltip stays";
  }
  // Rows alternate their background, and still do after one goes.
  auto backgrounds = [&] {
    std::vector<long> colours;
    for (int i = 0; i < 4; ++i) {
      const RECT row = dlg.OnlineList()->GetItemAt(i)->GetPos();
      colours.push_back(ui_xvfb::ScreenPixel(dlg.GetHWND(), MakePoint(row.left + 4, row.top + 4)));
    }
    return colours;
  };
  const std::vector<long> alternating{0xFFFFFF, 0xF5F7FA, 0xFFFFFF, 0xF5F7FA};
  EXPECT_EQ(backgrounds(), alternating);
  dlg.HandleMessage(msg::kOnlineTaskRemoved, 1, 0, handled);
  ASSERT_TRUE(PumpUntil([&] { return ui_xvfb::PixelsNotAsPainted(dlg.GetHWND()) == 0; }));
  EXPECT_EQ(backgrounds(), alternating);
  dlg.HandleMessage(msg::kOnlineTaskAdded, 1, 0, handled);

  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"taskwait_page"));
  HoverControl(dlg.OfflineList()->GetItemAt(0));
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(dlg.GetHWND(), "task_list_offline.png"));
  DestroyWindow(dlg.GetHWND());
  PumpFor(100);
}

// The task button, clicked as a user does (through the X server, so that a
// window manager may move the focus first), opens the task list and closes
// it again, click after click. Near the top of the screen the list opens
// below the caption band, over none of its buttons; with room above the
// button it opens above it (bottom edge 10 below the button's top).
TEST(TaskWindowsXvfb, TheTaskButtonOpensAndClosesTheTaskListClickAfterClick) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  qenui_gtk_test::XTestInput input;
  ASSERT_TRUE(input.Open(std::getenv("DISPLAY"))) << "the X server lacks XTest";
  ui_test::FakeBackend backend;
  SetFrameBackend(&backend);
  CMainFrame* frame = ui_xvfb::ShowMainWindow();
  ASSERT_NE(frame, nullptr);
  HWND h = frame->GetHWND();
  CPaintManagerUI& pm = frame->PaintManager();
  CAutoTaskDlg& tasks = frame->AutoTask();
  auto screen_rect = [&](const char16_t* name) {
    RECT rc = pm.FindControl(name)->GetPos();
    POINT a = MakePoint(rc.left, rc.top), b = MakePoint(rc.right, rc.bottom);
    ClientToScreen(h, &a);
    ClientToScreen(h, &b);
    return MakeRect(a.x, a.y, b.x, b.y);
  };
  int clicks = 0;
  auto click_task_button = [&] {
    const RECT at = screen_rect(u"autotask_btn");
    input.MoveTo(static_cast<int>(at.left + 16), static_cast<int>(at.top + 16));  // its icon
    PumpFor(50);
    input.Button(1, true);
    PumpFor(50);
    input.Button(1, false);
    ++clicks;
    // Done once the window counted the click (it acts in the same turn).
    return PumpUntil([&] { return std::count(backend.actions.begin(), backend.actions.end(), 30) == clicks; });
  };

  // The main window sits near the top of the screen: no room above.
  ASSERT_TRUE(click_task_button());
  ASSERT_TRUE(PumpUntil([&] { return tasks.IsVisible(); }));
  PumpFor(300);
  RECT list;
  GetWindowRect(tasks.GetHWND(), &list);
  POINT caption_bottom = MakePoint(0, pm.GetCaptionRect().bottom);
  ClientToScreen(h, &caption_bottom);
  EXPECT_EQ(list.left, screen_rect(u"autotask_btn").left + 10);
  EXPECT_GE(list.top, caption_bottom.y);
  for (const char16_t* button : {u"autotask_btn", u"feedback_btn", u"option_btn", u"min_btn", u"max_btn", u"close_btn"}) {
    RECT both;
    EXPECT_FALSE(IntersectRect(&both, list, screen_rect(button))) << CDuiString(button).ToUtf8();
  }
  ui_xvfb::ScreenShotOver(h, "task_list_below_caption.png");
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(tasks.GetHWND(), "task_list_from_main_window.png"));

  // The next click closes it, the one after opens it again.
  ASSERT_TRUE(click_task_button());
  EXPECT_FALSE(tasks.IsVisible());
  ASSERT_TRUE(click_task_button());
  EXPECT_TRUE(PumpUntil([&] { return tasks.IsVisible(); }));
  ASSERT_TRUE(click_task_button());
  EXPECT_FALSE(tasks.IsVisible());

  // Lower on the screen there is room above the button.
  RECT main;
  GetWindowRect(h, &main);
  SetWindowPos(h, 0, static_cast<int>(main.left), 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PumpFor(300);
  ASSERT_TRUE(click_task_button());
  ASSERT_TRUE(PumpUntil([&] { return tasks.IsVisible(); }));
  PumpFor(300);
  GetWindowRect(tasks.GetHWND(), &list);
  EXPECT_EQ(list.bottom, screen_rect(u"autotask_btn").top + 10);
  const long screen_bottom = CPaintManagerUI::GetHost()->GetWorkArea().bottom;
  ui_xvfb::ScreenShotOf(MakeRect(main.left, list.top, main.right, screen_bottom), "task_list_above_button.png");
  ASSERT_TRUE(click_task_button());
  EXPECT_FALSE(tasks.IsVisible());

  DestroyWindow(h);
  PumpFor(100);
  delete frame;
  SetFrameBackend(nullptr);
}

// The pixels the X server shows over a rectangle of the window's client area.
std::vector<long> PixelsOf(HWND h, RECT rc) {
  std::vector<long> pixels;
  for (long y = rc.top; y < rc.bottom; ++y)
    for (long x = rc.left; x < rc.right; ++x) pixels.push_back(ui_xvfb::ScreenPixel(h, MakePoint(x, y)));
  return pixels;
}

// The task button's line ("没有任务正在进行", "%d个任务正在进行") fits beside
// its icon in the caption's white, and neither the line nor the busy mark is
// drawn over the icon.
TEST(TaskWindowsXvfb, TheTaskButtonsLineFitsBesideItsIcon) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  CMainFrame* frame = ui_xvfb::ShowMainWindow();
  ASSERT_NE(frame, nullptr);
  HWND h = frame->GetHWND();
  FakeTaskMgr tasks;
  frame->AutoTask().SetTaskManager(&tasks);
  auto* button = static_cast<CButtonUI*>(frame->PaintManager().FindControl(u"autotask_btn")->GetInterface(u"Button"));
  CControlUI* busy = frame->PaintManager().FindControl(u"task_doing_animation");
  ASSERT_TRUE(button && busy);
  PumpFor(300);
  const RECT at = button->GetPos();
  // The icon's place in the button (its layout: dest='4,4,28,28').
  const RECT icon = MakeRect(at.left + 4, at.top + 4, at.left + 28, at.top + 28);
  const std::vector<long> bare_icon = PixelsOf(h, icon);

  struct Case {
    int doing;           // tasks downloading or installing
    const char16_t* line;
  } cases[] = {{0, u"没有任务正在进行"}, {12, u"12个任务正在进行"}, {3, u"3个任务正在进行"}};
  bool handled = false;
  uint32_t next_id = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(CDuiString(c.line).ToUtf8());
    tasks.online.clear();
    for (int i = 0; i < c.doing; ++i) tasks.AddOnline(next_id++, kTaskDownloading, u"应用");
    frame->AutoTask().HandleMessage(msg::kOnlineTaskRemoved, 0, 0, handled);  // the counts again
    ASSERT_EQ(button->GetText(), c.line);
    PumpFor(300);
    const RECT text = button->GetTextPadding();
    EXPECT_GE(text.left, icon.right - at.left) << "the line starts over the icon";
    EXPECT_LE(text.left + button->GetTextWidth() + text.right, at.right - at.left) << "the line does not fit";
    EXPECT_EQ(button->GetTextColor() & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(busy->IsVisible(), c.doing > 0);
    RECT overlap;
    EXPECT_FALSE(busy->IsVisible() && IntersectRect(&overlap, busy->GetPos(), icon)) << "the busy mark is over the icon";
    EXPECT_FALSE(busy->IsVisible() && busy->GetPos().right > at.left + text.left) << "the busy mark is over the line";
    EXPECT_EQ(PixelsOf(h, icon), bare_icon);
    if (c.doing == 12) Shot(h, "task_button_busy.png");
  }
  frame->AutoTask().SetTaskManager(nullptr);
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
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(h, "batch_box_progress.png"));
  PostMessage(h, msg::kBatchProgress, 10, 10);
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(h, "batch_box_finished.png"));
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
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(f, "feedback_wnd.png"));
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
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(g, "ignore_updates_wnd.png"));
  DestroyWindow(g);
  PumpFor(100);
}

}  // namespace
