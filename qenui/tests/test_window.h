// A window over the test layout that records what reaches it, and the
// fixture that installs the headless host and the embedded test skin.
#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "qenui/UIlib.h"
#include "qenui/headless/UITestDriver.h"

namespace qenui_test {
using namespace DuiLib;

class CustomControlFactory : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(LPCTSTR cls) override {
    if (CompareNoCase(cls, u"Custom") == 0) { ++made; return new CLabelUI; }
    return nullptr;
  }
  int made = 0;
};

class TestWindow : public WindowImplBaseNew {
 public:
  TestWindow() { InitWinParam(u"WND_XML\\test_wnd.xml"); }
  CControlUI* CreateControl(LPCTSTR cls) override { return factory.CreateControl(cls); }
  void ClickNotify(TNotifyUI& msg) override {
    clicks.push_back(msg.pSender->GetName());
    if (msg.pSender->GetName() == u"closebtn") Close(7);
    if (removeOnClick && msg.pSender->GetName() == u"row_btn") {
      CControlUI* row = msg.pSender->GetParent();
      static_cast<CListUI*>(m_PaintManager.FindControl(u"list"))->Remove(row);
    }
  }
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    // Numbers a program receives (the paint manager's queued notifications go on to it).
    if (uMsg >= WM_USER && uMsg != UIMSG_ASYNC_NOTIFY) {
      received.push_back({uMsg, wParam, lParam});
      bHandled = true;
      return 0;
    }
    bHandled = false;
    return 0;
  }
  LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, bool& bHandled) override {
    timerTicks.push_back({static_cast<UINT>(wParam), GetTickCount64()});
    if (wParam == 99) Close(7);
    bHandled = wParam < 0x1000;  // larger ids are the paint manager's control timers
    return 0;
  }
  void OnFinalMessage(HWND h) override { WindowImplBaseNew::OnFinalMessage(h); finalCalled = true; }
  LPCTSTR GetWindowClassName() const override { return u"TestWnd"; }
  CPaintManagerUI& PM() { return m_PaintManager; }

  CustomControlFactory factory;
  std::vector<CDuiString> clicks;
  struct Msg { UINT m; WPARAM w; LPARAM l; };
  std::vector<Msg> received;
  std::vector<std::pair<UINT, uint64_t>> timerTicks;
  bool removeOnClick = false;
  bool finalCalled = false;
};

class QenuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = UseHeadlessHost();
    ASSERT_TRUE(CPaintManagerUI::SetResourceZipEmbedded());
    ResetQuit();
    host->SetAutoAdvance(true);
  }
  CHeadlessHost* host = nullptr;
};

}  // namespace qenui_test
