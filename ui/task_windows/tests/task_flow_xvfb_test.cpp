// The task list window over the real task manager, swarmload and download
// engine on a private X server: an app downloaded from the loopback
// download server shows its progress, then waits in the downloaded tab
// (no phone). Screenshots: task_flow_downloading.png, task_flow_downloaded.png.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/task/auto_task_mgr.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "qenui/headless/UITestDriver.h"
#include "testing/download_server/download_server.h"
#include "ui/task_windows/auto_task_dlg.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace {

using namespace DuiLib;
using ui_xvfb::PumpFor;
using ui_xvfb::PumpUntil;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("task_flow_xvfb"));

// The program folder of the environment with the engine libraries in it.
std::string PrepareProgramFolder() {
  const std::string program = getenv("PHONEDECK_PROGRAM_DIR");
  std::filesystem::create_directories(program + "/log");
  std::filesystem::remove(program + "/libswarmload.so");
  std::filesystem::remove(program + "/libxldl.so");
  std::filesystem::remove(program + "/libkitoracle.so");
  std::filesystem::remove(program + "/libHostmark.so");
  std::filesystem::create_symlink(SWARMLOAD_LIBRARY, program + "/libswarmload.so");
  std::filesystem::create_symlink(ENGINE_LIBRARY, program + "/libxldl.so");
  std::filesystem::create_symlink(KITORACLE_DOUBLE, program + "/libkitoracle.so");
  std::filesystem::create_symlink(HOSTMARK_LIBRARY, program + "/libHostmark.so");
  return program;
}

// Hands what the manager posted to the window, as the main window does.
void Relay(CAutoTaskDlg& dlg) {
  for (const PostedMessage& m : message_sink::Take()) {
    bool handled = false;
    dlg.HandleMessage(m.message, m.wParam, m.lParam, handled);
  }
}

TEST(TaskFlowXvfb, ADownloadShowsItsProgressThenWaitsAsDownloaded) {
  if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << "no X server: " << ui_xvfb::SkipReason();
  const std::string program = PrepareProgramFolder();
  testing_server::DownloadServer server;
  testing_server::Resource resource = testing_server::Generated(6 * 1024 * 1024);
  resource.bytes_per_second = 2 * 1024 * 1024;
  server.Put("/map.apk", resource);
  const std::u16string url = AnsiToWString(server.Url("/map.apk"));
  const uint32_t id = Utf16LeCrc32(url);

  CConfigMgr::Instance()->SetMainWnd(1);
  message_sink::Take();
  TaskPaths paths = ProgramTaskPaths();
  TaskPhoneSide side = ProgramPhoneSide();
  side.is_connected = [] { return false; };
  auto manager = std::make_unique<CAutoTaskMgr>(paths, side, 200);
  manager->Init();

  CAutoTaskDlg dlg;
  dlg.SetTaskManager(manager.get());
  dlg.Create(0);
  ASSERT_NE(dlg.GetHWND(), 0u);
  ASSERT_TRUE(manager->StartDownload(url.c_str(), u"地图导航", nullptr, nullptr, u"com.zelvik.map"));
  dlg.ShowAt(200, 500);
  ASSERT_TRUE(PumpUntil([&] {
    Relay(dlg);
    auto task = manager->FindOnlineTask(id);
    return dlg.IsVisible() && task && task->state == kTaskDownloading && task->progress.downloaded_size > 0;
  }, 20000));
  Relay(dlg);
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(dlg.GetHWND(), "task_flow_downloading.png"));

  ASSERT_TRUE(PumpUntil([&] {
    Relay(dlg);
    return manager->IsExistOffTask(id);
  }, 30000));
  Relay(dlg);
  ASSERT_TRUE(ClickControl(*dlg.GetPaintManager(), u"taskwait_page"));
  ASSERT_NO_FATAL_FAILURE(ui_xvfb::ShotAsPainted(dlg.GetHWND(), "task_flow_downloaded.png"));
  EXPECT_EQ(manager->GetOnlineTaskCount(), 0);
  EXPECT_EQ(dlg.OfflineList()->GetCount(), 1);

  dlg.SetTaskManager(nullptr);
  DestroyWindow(dlg.GetHWND());
  PumpFor(100);
  manager.reset();
}

}  // namespace
