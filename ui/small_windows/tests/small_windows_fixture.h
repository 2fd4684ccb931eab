// Headless windows over the program's own skin, with a temporary user
// (settings in a temporary folder), and a parent window that records the
// messages the small windows post to it.
#pragma once

#include <string>
#include <vector>

#include "qenui/UIlib.h"
#include "qenui/headless/HeadlessHost.h"
#include "ui/tests/temp_user_fixture.h"

namespace small_windows_test {

using namespace DuiLib;

// Stands in for the main window: records every own message posted to it.
class RecorderWnd : public WindowImplBaseNew {
 public:
  RecorderWnd() { InitWinParam(u"wnd_xml\\downgif_wnd.xml"); }
  struct Msg { UINT m; WPARAM w; LPARAM l; };
  std::vector<Msg> received;

 protected:
  LPCTSTR GetWindowClassName() const override { return u"RecorderWnd"; }
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    bHandled = uMsg >= WM_USER;
    if (bHandled) received.push_back({uMsg, wParam, lParam});
    return 0;
  }
};

class SmallWindowsTest : public ui_test::TempUserTest {
 public:
  void SetUp() override {
    ui_test::TempUserTest::SetUp();
    if (HasFatalFailure()) return;
    host->SetAutoAdvance(true);
    parent_hwnd = parent.Create(0, u"RecorderWnd", WS_POPUP, 0);
    ASSERT_NE(parent_hwnd, 0u);
    parent.ShowWindow(true, true);
  }
  void TearDown() override {
    PumpPendingMessages();
    if (IsWindow(parent_hwnd)) DestroyWindow(parent_hwnd);
    ui_test::TempUserTest::TearDown();
  }

  // Posts and due timers are run (the clock does not move).
  void Pump() {
    for (int i = 0; i < 5; ++i) PumpPendingMessages();
  }
  int Received(UINT m, WPARAM w, LPARAM l) const {
    int n = 0;
    for (const auto& r : parent.received) n += (r.m == m && r.w == w && r.l == l) ? 1 : 0;
    return n;
  }

  RecorderWnd parent;
  HWND parent_hwnd = 0;
};

inline CControlUI* Find(HWND h, const char16_t* name) {
  CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(h);
  return pm ? pm->FindControl(name) : nullptr;
}

inline std::u16string TextOf(HWND h, const char16_t* name) {
  CControlUI* c = Find(h, name);
  return c ? c->GetText().str() : u"<missing>";
}

inline SIZE WindowSize(HWND h) {
  RECT rc;
  GetWindowRect(h, &rc);
  return MakeSize(rc.right - rc.left, rc.bottom - rc.top);
}

}  // namespace small_windows_test
