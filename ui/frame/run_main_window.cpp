#include "ui/frame/run_main_window.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <memory>
#include <new>
#include <string>

#include "app/core/message_ids.h"
#include "app/startup/single_instance.h"
#include "foundation/base/log.h"
#include "platform/clock.h"
#include "qenui/UIlib.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkScreenshot.h"
#include "qenui/headless/HeadlessHost.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/program_backend.h"
#include "ui/frame/window_poster.h"
#include "ui/message_box/message_wnd.h"

using namespace DuiLib;

namespace {

constexpr DWORD kMainStyle = 0x800A0000;   // WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX
constexpr DWORD kMainExStyle = 0x100;      // WS_EX_WINDOWEDGE
constexpr int kErrorBox = 0x10;            // OK only, the error icon

// The headless back end on the real clock, for running the program with no
// display (and for tests that start it as a process): timers wait in real
// time and an idle loop waits for posts instead of ending.
class CRealTimeHeadlessHost : public CHeadlessHost {
 public:
  uint64_t NowMs() override { return platform::MonotonicMs(); }
  void WaitForWork(uint64_t deadlineMs) override {
    std::unique_lock<std::mutex> hold(mu_);
    auto woken = [this] { return woken_; };
    if (deadlineMs == 0) {
      cv_.wait(hold, woken);
    } else {
      uint64_t now = NowMs();
      if (deadlineMs > now) cv_.wait_for(hold, std::chrono::milliseconds(deadlineMs - now), woken);
    }
    woken_ = false;
  }
  void Wake() override {
    {
      std::lock_guard<std::mutex> hold(mu_);
      woken_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mu_;  // guards woken_
  std::condition_variable cv_;
  bool woken_ = false;
};

void UseRealTimeHeadlessHost() {
  static CRealTimeHeadlessHost host;
  CPaintManagerUI::SetHost(&host);
}

// Where a second start's messages go: the main window of this process.
bool PostToMainWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DuiLib::PostMessage(FindWindow(u"Shelfhub", nullptr), message, wParam, lParam);
}

// A second start's probe is answered on the main window's thread, so a hung
// window does not count as alive.
bool ProbeThroughMainWindow(std::function<void()> answer) {
  return DuiLib::PostCall(FindWindow(u"Shelfhub", nullptr), std::move(answer));
}

// Logs when the main window was first painted (CLOCK_MONOTONIC, the clock
// every process shares, so a launcher can measure start to first paint).
// With PHONEDECK_SCREENSHOT set and a display, the window is then saved as
// a PNG there (for checking the look under Xvfb).
void OnFirstPaint(HWND hWnd) {
  PD_LOG_INFO("first paint at monotonic %.3f ms",
              platform::PerformanceCounter() * 1000.0 / platform::PerformanceFrequency());
  const char* shot = std::getenv("PHONEDECK_SCREENSHOT");
  if (!shot || !*shot || !GetGtkHost()) return;
  struct Request {
    HWND hWnd;
    std::string path;
  };
  g_timeout_add(
      300,
      [](gpointer data) -> gboolean {
        std::unique_ptr<Request> request(static_cast<Request*>(data));
        std::string error;
        if (SaveWindowScreenshot(request->hWnd, request->path, &error)) {
          PD_LOG_INFO("screenshot saved: %s", request->path.c_str());
        } else {
          PD_LOG_ERROR("screenshot failed: %s", error.c_str());
        }
        return G_SOURCE_REMOVE;
      },
      new Request{hWnd, shot});
}

}  // namespace

bool SelectUiBackEnd() {
  const char* headless = std::getenv("PHONEDECK_HEADLESS");
  if (headless && std::string(headless) == "1") {
    UseRealTimeHeadlessHost();
    return true;
  }
  std::string error;
  if (UseGtkHost(&error)) return true;
  std::fprintf(stderr,
               "Phonedeck: no display can be opened (%s).\n"
               "Phonedeck: running without windows; start it on a desktop (or under xvfb-run) to see them.\n",
               error.c_str());
  PD_LOG_WARNING("no display (%s): running headless", error.c_str());
  UseRealTimeHeadlessHost();
  return true;
}

UiResult RunMainWindow(bool hide) {
  CPaintManagerUI::SetInstance(nullptr);
  CPaintManagerUI::SetResourcePath((CPaintManagerUI::GetInstancePath() + u"skin/").GetData());
  if (!CPaintManagerUI::SetResourceZipEmbedded()) PD_LOG_ERROR("the program carries no skin");
  InstallWindowPoster();
  CSingleInstance::SetPoster(PostToMainWindow);
  CSingleInstance::SetProber(ProbeThroughMainWindow);

  if (GetGtkHost()) CMainFrame::SetTrayShownQuery([] { return GetGtkHost() && GetGtkHost()->TrayEmbedded(); });
  CProgramFrameBackend backend;
  SetFrameBackend(&backend);
  CMainFrame* frame = new (std::nothrow) CMainFrame;
  if (!frame) {
    SetFrameBackend(nullptr);
    return UiResult::kNoWindow;
  }
  frame->InitWinParam(u"wnd_xml\\main_frame.xml");
  if (frame->Create(0, u"Shelfhub", kMainStyle, kMainExStyle)) {
    PD_LOG_INFO("main window created");
    frame->SetFirstPaintHook([frame] { OnFirstPaint(frame->GetHWND()); });
    SetWindowText(frame->GetHWND(), u"Zelvik手游助手");
    frame->CenterWindow();
    if (!hide) frame->ShowWindow(true, true);
    CPaintManagerUI::MessageLoop();
  } else {
    PD_LOG_ERROR("the main window cannot be created");
  }
  delete frame;  // releases the connection manager
  SetFrameBackend(nullptr);
  CSingleInstance::SetPoster(nullptr);
  CSingleInstance::SetProber(nullptr);
  CMainFrame::SetTrayShownQuery(nullptr);
  UninstallWindowPoster();
  CPaintManagerUI::Term();
  WindowImplBaseNew::Cleanup();
  return UiResult::kRan;
}

void ShowStartRefusal(const std::string& refusal) {
  const char* headless = std::getenv("PHONEDECK_HEADLESS");
  if (headless && std::string(headless) == "1") return;
  std::string error;
  if (!UseGtkHost(&error)) return;  // no display: the message on stderr is all
  CPaintManagerUI::SetInstance(nullptr);
  CPaintManagerUI::SetResourcePath((CPaintManagerUI::GetInstancePath() + u"skin/").GetData());
  if (CPaintManagerUI::SetResourceZipEmbedded()) {
    // The box holds two short lines: the paths and errors are in the log
    // and on stderr.
    PD_LOG_INFO("showing that the program cannot start (%s)", refusal.c_str());
    ShowMessageBox(0, u"Zelvik手游助手无法启动。\n运行锁无法建立，详情见日志。", u"Zelvik手游助手", kErrorBox, 0, 0);
  } else {
    PD_LOG_ERROR("the program carries no skin: no message box for the refusal");
  }
  CPaintManagerUI::Term();
  WindowImplBaseNew::Cleanup();
}
