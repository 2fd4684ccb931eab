// A headless main window over the program's own skin, with a temporary user
// (settings in a temporary folder) and a fake phone side that records what
// the window asks of it.
#pragma once

#include <string>
#include <vector>

#include "ui/frame/frame_backend.h"
#include "ui/frame/main_frame.h"
#include "ui/tests/temp_user_fixture.h"

namespace ui_test {

using namespace DuiLib;

class FakeBackend : public IFrameBackend {
 public:
  void StartConnection() override { calls.push_back("StartConnection"); }
  void InitTasks() override { calls.push_back("InitTasks"); }
  bool TasksStarted() override { return tasks_started; }
  bool tasks_started = true;
  CAutoTaskMgr* TaskManager() override { return nullptr; }
  DownloadListener* DownloadRequests() override { return downloads; }
  DownloadListener* downloads = nullptr;
  bool IsPhoneConnected() override { return connected; }
  bool ReConnect(bool force) override {
    calls.push_back(force ? "ReConnect(force)" : "ReConnect");
    return reconnect_answer;
  }
  void CreatePhone() override { calls.push_back("CreatePhone"); }
  void ReleaseConnection() override { calls.push_back("ReleaseConnection"); }
  void ReleaseTasks() override { calls.push_back("ReleaseTasks"); }
  void ReportUserAction(int id) override { actions.push_back(id); }

  std::vector<std::string> calls;
  std::vector<int> actions;
  bool connected = false;
  bool reconnect_answer = false;
};

// Records what reaches the library's default handling: the own numbers and
// the key-downs (other window messages come and go with the window itself).
class TestFrame : public CMainFrame {
 public:
  std::vector<UINT> defaulted;

 public:
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    if (uMsg >= WM_USER || uMsg == WM_KEYDOWN) defaulted.push_back(uMsg);
    return CMainFrame::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
  }
};

class FrameTest : public TempUserTest {
 public:
  void SetUp() override {
    TempUserTest::SetUp();
    SetFrameBackend(&backend);
    frame = new TestFrame;
    frame->InitWinParam(u"wnd_xml\\main_frame.xml");
    hwnd = frame->Create(0, u"Shelfhub", 0x800A0000, 0x100);
    ASSERT_NE(hwnd, 0u);
    frame->ShowWindow(true, true);
    PumpPendingMessages();
    backend.calls.clear();
    backend.actions.clear();
  }
  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    delete frame;
    SetFrameBackend(nullptr);
    TempUserTest::TearDown();
  }
  CPaintManagerUI& PM() { return frame->PaintManager(); }
  template <typename T>
  T* Control(const char16_t* name, const char16_t* iface) {
    CControlUI* c = PM().FindControl(name);
    return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
  }
  int TabOf(const char16_t* name) {
    auto* tab = Control<CTabLayoutUI>(name, u"TabLayout");
    return tab ? tab->GetCurSel() : -2;
  }
  std::u16string TextOf(const char16_t* name) {
    CControlUI* c = PM().FindControl(name);
    return c ? c->GetText().str() : u"<missing>";
  }
  void Pump() {
    for (int i = 0; i < 5; ++i) PumpPendingMessages();
  }

  FakeBackend backend;
  TestFrame* frame = nullptr;
  HWND hwnd = 0;
};

}  // namespace ui_test
