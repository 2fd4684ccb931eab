// Shows the sample layout as a real window. With --screenshot <file.png> it
// writes the window's pixels once it has been painted, then exits.
#include <cstdio>
#include <cstring>
#include <string>

#include "qenui/UIlib.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkScreenshot.h"

using namespace DuiLib;

namespace {

constexpr UINT_PTR kScreenshotTimer = 1;

class CDemoWnd : public WindowImplBaseNew {
 public:
  explicit CDemoWnd(std::string screenshot) : m_screenshot(std::move(screenshot)) {
    InitWinParam(u"wnd_xml\\demo_wnd.xml");
  }
  int exitCode = 0;

 protected:
  LPCTSTR GetWindowClassName() const override { return u"QenuiGtkDemo"; }
  void InitAfterCreate() override {
    if (!m_screenshot.empty()) SetTimer(m_hWnd, kScreenshotTimer, 500);
  }
  void ClickNotify(TNotifyUI& msg) override {
    CDuiString name = msg.pSender->GetName();
    if (name == u"closebtn") Close(IDOK);
    else if (name == u"minbtn") DuiLib::ShowWindow(m_hWnd, SW_MINIMIZE);
    else if (name == u"connectbtn") {
      if (CControlUI* s = m_PaintManager.FindControl(u"status")) s->SetText(u"状态：正在连接……");
    }
  }
  LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, bool& bHandled) override {
    bHandled = wParam == kScreenshotTimer;
    if (!bHandled) return 0;
    KillTimer(m_hWnd, kScreenshotTimer);
    std::string err;
    if (!SaveWindowScreenshot(m_hWnd, m_screenshot, &err)) {
      std::fprintf(stderr, "qenui_gtk_demo: screenshot failed: %s\n", err.c_str());
      exitCode = 1;
    } else {
      std::printf("qenui_gtk_demo: wrote %s\n", m_screenshot.c_str());
    }
    Close(IDOK);
    return 0;
  }
  void OnFinalMessage(HWND h) override {
    WindowImplBaseNew::OnFinalMessage(h);
    PostQuitMessage(exitCode);
  }

 private:
  std::string m_screenshot;
};

}  // namespace

int main(int argc, char** argv) {
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) screenshot = argv[++i];
    else { std::fprintf(stderr, "usage: qenui_gtk_demo [--screenshot file.png]\n"); return 2; }
  }
  std::string err;
  if (!UseGtkHost(&err)) { std::fprintf(stderr, "qenui_gtk_demo: %s\n", err.c_str()); return 1; }
  if (!CPaintManagerUI::SetResourceZipEmbedded()) { std::fprintf(stderr, "qenui_gtk_demo: no skin\n"); return 1; }
  CDemoWnd wnd(screenshot);
  if (!wnd.Create(0, u"手机助手", WS_POPUP | WS_MINIMIZEBOX, 0, 100, 100, 640, 420)) {
    std::fprintf(stderr, "qenui_gtk_demo: cannot create the window\n");
    return 1;
  }
  wnd.CenterWindow();
  wnd.ShowWindow(true);
  int rc = RunMessageLoop();
  CPaintManagerUI::Term();
  return rc;
}
