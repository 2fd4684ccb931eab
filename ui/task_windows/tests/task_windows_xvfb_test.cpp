// The task list window, the batch progress box, the feedback window and the
// ignored-updates window in real windows on a private X server, saved as
// screenshots in <build>/screenshots (a smoke test that they render).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "qenui/UIlib.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkScreenshot.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/task_windows/auto_task_dlg.h"
#include "ui/task_windows/feedback_wnd.h"
#include "ui/task_windows/ignore_update_dlg.h"
#include "ui/task_windows/message_box_dlg.h"
#include "ui/task_windows/tests/task_windows_fixture.h"

namespace {

using namespace DuiLib;
using task_windows_test::FakeTaskMgr;

std::string g_skip;
std::string g_home;
qenui_gtk_test::XvfbSession* g_xvfb = nullptr;

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/task_windows_xvfb_XXXXXX";
    if (!mkdtemp(tmpl)) {
      g_skip = "no temporary folder";
      return;
    }
    g_home = tmpl;
    setenv("HOME", g_home.c_str(), 1);
    for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) setenv(v, g_home.c_str(), 1);
    setenv("TMPDIR", g_home.c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", (g_home + "/program").c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    unsetenv("PHONEDECK_CHAT_HOST");
    g_xvfb = new qenui_gtk_test::XvfbSession;
    std::string err;
    if (!g_xvfb->Start(&err) || !UseGtkHost(&err)) {
      g_skip = err;
      return;
    }
    if (!CPaintManagerUI::SetResourceZipEmbedded()) g_skip = "skin missing";
    CConfigMgr::Instance()->Init();
  }
  void TearDown() override {
    CConfigMgr::Release();
    if (g_xvfb) g_xvfb->Stop();
    delete g_xvfb;
    if (!g_home.empty()) {
      EXPECT_EQ(std::system(("rm -rf '" + g_home + "'").c_str()), 0);
    }
  }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    while (g_main_context_iteration(nullptr, FALSE)) {}
    PumpPendingMessages();
    if (done()) return true;
    g_usleep(2000);
  }
  return done();
}
void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

void Shot(HWND h, const std::string& name) {
  mkdir(PD_SCREENSHOT_DIR, 0755);
  const std::string path = std::string(PD_SCREENSHOT_DIR) + "/" + name;
  std::string err;
  EXPECT_TRUE(SaveWindowScreenshot(h, path, &err)) << name << ": " << err;
  struct stat st;
  EXPECT_TRUE(stat(path.c_str(), &st) == 0 && st.st_size > 0) << path;
}

std::u16string Icon(const char* name) { return Utf8ToUtf16(std::string(PD_SKIN_PNG_DIR) + "/" + name); }

TEST(TaskWindowsXvfb, TaskListWindowRendersBothTabs) {
  if (!g_skip.empty()) GTEST_SKIP() << "no X server: " << g_skip;
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
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"taskwait_page"));
  HoverControl(dlg.OfflineList()->GetItemAt(0));
  PumpFor(300);
  Shot(dlg.GetHWND(), "task_list_offline.png");
  DestroyWindow(dlg.GetHWND());
  PumpFor(100);
}

TEST(TaskWindowsXvfb, BatchBoxRendersInProgressAndFinished) {
  if (!g_skip.empty()) GTEST_SKIP() << "no X server: " << g_skip;
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

TEST(TaskWindowsXvfb, FeedbackAndIgnoredUpdatesWindowsRender) {
  if (!g_skip.empty()) GTEST_SKIP() << "no X server: " << g_skip;
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
