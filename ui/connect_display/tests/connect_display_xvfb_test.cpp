// The connection area and its side windows in real windows on a private X
// server: the main window while connecting and after a failure, and the
// USB-debugging help, driver progress and connection-lost windows, saved as
// screenshots (a smoke test that they render).
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
#include "ui/frame/main_frame.h"

namespace {

using namespace DuiLib;

std::string g_skip;
std::string g_home;
qenui_gtk_test::XvfbSession* g_xvfb = nullptr;

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/connect_display_xvfb_XXXXXX";
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

TEST(ConnectDisplayXvfb, ConnectingFailureAndSideWindowsRender) {
  if (!g_skip.empty()) GTEST_SKIP() << "no X server: " << g_skip;
  auto* frame = new CMainFrame;
  frame->InitWinParam(u"wnd_xml\\main_frame.xml");
  HWND h = frame->Create(0, u"Shelfhub", 0x800A0000, 0x100);
  ASSERT_NE(h, 0u);
  frame->CenterWindow();
  frame->ShowWindow(true, true);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h); }));
  auto state = [&](int s) { SendMessage(h, msg::kConnectionState, 0, s); };
  auto text = [&](const char16_t* name) { return frame->PaintManager().FindControl(name)->GetText().str(); };

  // The phone home view while connecting (the store home is selected at start).
  ASSERT_TRUE(ClickControl(frame->PaintManager(), u"myphone_optn"));
  state(1);
  state(2);
  state(4);
  PumpFor(700);  // the bar creeps
  EXPECT_EQ(text(u"lbl_connect"), u"连接手机中...");
  Shot(h, "connect_connecting.png");

  state(16);
  PumpFor(100);
  EXPECT_EQ(text(u"lbl_conn_failed_reason"), u"连接手机失败");
  Shot(h, "connect_failed.png");

  state(3);
  ASSERT_TRUE(PumpUntil([&] { return frame->AdbTips().IsVisible(); }));
  PumpFor(200);
  Shot(frame->AdbTips().GetHWND(), "adb_tips.png");
  for (int i = 0; i < 5; ++i) frame->AdbTips().ShowNext();
  PumpFor(200);
  Shot(frame->AdbTips().GetHWND(), "adb_tips_last.png");

  state(5);
  ASSERT_TRUE(PumpUntil([&] { return frame->OfflineTips().IsVisible(); }));
  PumpFor(200);
  Shot(frame->OfflineTips().GetHWND(), "offline_tips.png");

  state(10);
  ASSERT_TRUE(PumpUntil([&] { return frame->DrvProgress().IsVisible(); }));
  auto* progress = new DriverDownloadProgress;
  progress->status = 4;
  progress->first = 1000;
  progress->second = 600;
  frame->DrvProgress().SetProgress(progress);
  PumpFor(200);
  Shot(frame->DrvProgress().GetHWND(), "drv_progress.png");

  DestroyWindow(h);
  PumpFor(100);
  delete frame;
}

}  // namespace
