// The connection area: every connection state's visible effect, the connect
// bar's timer, the side windows and the pages, over a small main-window
// layout that holds the controls by their names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/connect/connect_state.h"
#include "app/core/message_ids.h"
#include "qenui/UIlib.h"
#include "qenui/headless/HeadlessHost.h"
#include "qenui/headless/UITestDriver.h"
#include "ui/connect_display/connect_display.h"
#include "ui/small_windows/adb_tips_wnd.h"
#include "ui/small_windows/drv_progress_wnd.h"
#include "ui/small_windows/offline_tips_wnd.h"

namespace connect_display_test {
namespace {

using namespace DuiLib;

const char16_t kLayout[] = uR"(<?xml version="1.0" encoding="utf-8"?>
<Window size="800,600">
  <VerticalLayout>
    <HorizontalLayout height="30">
      <Option name="myphone_optn" group="nav" width="40" selected="true" />
      <Option name="myapp_optn" group="nav" width="40" />
      <Option name="contact_optn" group="nav" width="40" />
      <Option name="sms_optn" group="nav" width="40" />
      <Option name="pic_optn" group="nav" width="40" />
      <Option name="music_optn" group="nav" width="40" />
      <Option name="video_optn" group="nav" width="40" />
      <Option name="market_index_optn" group="nav" width="40" />
    </HorizontalLayout>
    <Label name="lbl_connect" height="24" />
    <TabLayout name="tab_connect_status" height="26">
      <Control />
      <Control />
    </TabLayout>
    <Button name="phones_btn" height="26" />
    <TabLayout name="tab_phone">
      <TabLayout name="tab_connect_pages">
        <VerticalLayout>
          <Animation name="nodevices_animation" height="40" />
          <TabLayout name="tab_connecting_status">
            <VerticalLayout>
              <Animation name="connecting_animation" height="40" />
              <Progress name="connect_progress" height="10" min="0" max="100" value="0" />
            </VerticalLayout>
            <Label name="lbl_conn_failed_reason" text="-" />
          </TabLayout>
        </VerticalLayout>
        <Control />
      </TabLayout>
      <Control /><Control /><Control /><Control /><Control /><Control />
    </TabLayout>
  </VerticalLayout>
</Window>)";

// Stands in for the main window: its layout, its side windows and pages.
class HostWnd : public WindowImplBaseNew, public IConnectDisplayOwner {
 public:
  HostWnd() : display(&m_PaintManager, 0, this, {&adb_tips, &drv_progress, &offline_tips}) {}

  void CreatePhone() override { calls.push_back("CreatePhone"); }
  void ShowPhonePage(int item) override { calls.push_back("ShowPhonePage(" + std::to_string(item) + ")"); }
  void ClearPages() override { calls.push_back("ClearPages"); }

  CPaintManagerUI& PM() { return m_PaintManager; }

  CAdbTipsWnd adb_tips;
  CDrvProgressWnd drv_progress;
  COfflineTipsWnd offline_tips;
  CConnectDisplay display;
  std::vector<std::string> calls;
  std::vector<UINT> own_posts;  // WM_SYSCOMMAND(SC_RESTORE) and 35768

 protected:
  LPCTSTR GetWindowClassName() const override { return u"ConnectHostWnd"; }
  LRESULT OnCreate(UINT, WPARAM, LPARAM, bool& bHandled) override {
    bHandled = true;
    m_PaintManager.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.CreateFromText(kLayout, nullptr, &m_PaintManager);
    if (!root) return -1;
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    m_PaintManager.AddMessageFilter(this);
    // As the main window's start does: the display over this window, "not connected".
    display = CConnectDisplay(&m_PaintManager, m_hWnd, this, {&adb_tips, &drv_progress, &offline_tips});
    display.Init();
    display.SetConnected(false);
    return 0;
  }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if ((uMsg == WM_SYSCOMMAND && wParam == SC_RESTORE) || uMsg == msg::kBringToFront) own_posts.push_back(uMsg);
    if (uMsg == msg::kConnectionState) {
      display.OnConnectState(static_cast<int>(lParam));
      return 0;
    }
    return WindowImplBaseNew::HandleMessage(uMsg, wParam, lParam);
  }
  LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    if (wParam == CConnectDisplay::kConnectTimer) {
      bHandled = true;
      display.OnConnectTimer();
      return 0;
    }
    return WindowImplBaseNew::OnTimer(uMsg, wParam, lParam, bHandled);
  }
};

class ConnectDisplayTest : public ::testing::Test {
 public:
  void SetUp() override {
    host = UseHeadlessHost();
    ASSERT_TRUE(CPaintManagerUI::SetResourceZipEmbedded());
    ResetQuit();
    host->SetAutoAdvance(false);
    wnd = new HostWnd;
    hwnd = wnd->Create(0, u"ConnectHostWnd", WS_POPUP, 0, 0, 0, 800, 600);
    ASSERT_NE(hwnd, 0u);
    wnd->ShowWindow(true, true);
    PumpPendingMessages();
  }
  void TearDown() override {
    for (CSideWindow* w : std::initializer_list<CSideWindow*>{&wnd->adb_tips, &wnd->drv_progress, &wnd->offline_tips})
      if (w->IsCreated()) DestroyWindow(w->GetHWND());
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    PumpPendingMessages();
    delete wnd;
    ResetQuit();
  }

  void State(int s) { SendMessage(hwnd, msg::kConnectionState, 0, s); }
  template <typename T>
  T* Control(const char16_t* name, const char16_t* iface) {
    CControlUI* c = wnd->PM().FindControl(name);
    return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
  }
  int Tab(const char16_t* name) { return Control<CTabLayoutUI>(name, u"TabLayout")->GetCurSel(); }
  int Bar() { return Control<CProgressUI>(u"connect_progress", u"Progress")->GetValue(); }
  std::string Text(const char16_t* name) { return wnd->PM().FindControl(name)->GetText().ToUtf8(); }
  void Select(const char16_t* option) { Control<COptionUI>(option, u"Option")->Selected(true); }

  // The whole connection area in one line.
  std::string View() {
    std::string popup;
    if (wnd->adb_tips.IsVisible()) popup += "adb";
    if (wnd->drv_progress.IsVisible()) popup += "drv";
    if (wnd->offline_tips.IsVisible()) popup += "offline";
    if (popup.empty()) popup = "none";
    return "lbl=" + Text(u"lbl_connect") + " status=" + std::to_string(Tab(u"tab_connect_status")) +
           " connecting=" + std::to_string(Tab(u"tab_connecting_status")) +
           " pages=" + std::to_string(Tab(u"tab_connect_pages")) + " phone=" + std::to_string(Tab(u"tab_phone")) +
           " why=" + Text(u"lbl_conn_failed_reason") + " timer=" + (wnd->display.IsConnectTimerRunning() ? "on" : "off") +
           " popup=" + popup + " btn=" + (wnd->PM().FindControl(u"phones_btn")->IsEnabled() ? "on" : "off") +
           " step=" + std::to_string(wnd->display.ProgressStep());
  }

  CHeadlessHost* host = nullptr;
  HostWnd* wnd = nullptr;
  HWND hwnd = 0;
};

TEST_F(ConnectDisplayTest, StartsNotConnected) {
  EXPECT_EQ(View(), "lbl=请连接手机 status=0 connecting=0 pages=0 phone=0 why=- timer=off popup=none btn=off step=0");
  EXPECT_TRUE(Control<CAnimationUI>(u"nodevices_animation", u"Animation")->IsPlaying());
}

// Every state from the middle of an attempt (connecting, step 1, a phone page
// open): what the connection area shows afterwards.
TEST_F(ConnectDisplayTest, EveryStateFromAnAttemptInProgress) {
  const std::string connecting = "lbl=连接手机中... status=1 connecting=0 pages=0";
  struct Row { int state; std::string view; std::vector<std::string> calls; };
  const Row rows[] = {
      {0, connecting + " phone=3 why=- timer=on popup=none btn=off step=1", {}},
      {1, connecting + " phone=0 why=- timer=on popup=none btn=off step=0", {}},
      {2, connecting + " phone=3 why=- timer=on popup=none btn=off step=1", {}},
      {3, "lbl=请连接手机 status=1 connecting=0 pages=0 phone=0 why=- timer=off popup=adb btn=off step=1", {}},
      {4, connecting + " phone=3 why=- timer=on popup=none btn=off step=2", {}},
      {5, "lbl=请连接手机 status=1 connecting=0 pages=0 phone=0 why=- timer=off popup=offline btn=off step=1", {}},
      {6, connecting + " phone=3 why=- timer=on popup=none btn=off step=1", {}},
      {7, connecting + " phone=3 why=- timer=on popup=none btn=off step=3", {}},
      {8, "lbl=请连接手机 status=1 connecting=1 pages=0 phone=0 why=安装Andriod助手失败 timer=off popup=none btn=off step=1", {}},
      {9, connecting + " phone=3 why=- timer=on popup=none btn=off step=4", {}},
      {10, connecting + " phone=3 why=- timer=off popup=drv btn=off step=1", {}},
      {11, "lbl=连接手机中... status=1 connecting=1 pages=0 phone=0 why=下载驱动失败 timer=off popup=none btn=off step=1", {}},
      {12, connecting + " phone=3 why=- timer=off popup=none btn=off step=1", {}},
      {13, "lbl=已连接手机 status=0 connecting=0 pages=1 phone=3 why=- timer=off popup=none btn=on step=1", {}},
      {14, "lbl=连接手机中... status=1 connecting=1 pages=0 phone=0 why=安装驱动失败 timer=off popup=none btn=off step=1", {}},
      {15, "lbl=请连接手机 status=1 connecting=1 pages=0 phone=0 why=与手机通讯失败 timer=off popup=none btn=off step=1", {}},
      {16, "lbl=请连接手机 status=1 connecting=1 pages=0 phone=0 why=连接手机失败 timer=off popup=none btn=off step=1", {}},
      {17, connecting + " phone=0 why=- timer=on popup=none btn=off step=6", {"CreatePhone"}},
      {18, "lbl=连接手机中... status=1 connecting=1 pages=0 phone=0 why=请尝试重新连接手机 timer=off popup=none btn=off step=1", {}},
      {19, "lbl=请连接手机 status=0 connecting=0 pages=0 phone=0 why=- timer=off popup=none btn=off step=1", {"ClearPages"}},
      {20, connecting + " phone=3 why=- timer=on popup=none btn=off step=1", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("state " + std::to_string(row.state));
    TearDown();
    SetUp();
    State(kConn_Start);
    State(kConn_CheckAndroidMode);
    Control<CTabLayoutUI>(u"tab_phone", u"TabLayout")->SelectItem(3);
    wnd->calls.clear();
    State(row.state);
    EXPECT_EQ(View(), row.view);
    EXPECT_EQ(wnd->calls, row.calls);
  }
}

// States that send the phone tab home leave it alone while the store home is open.
TEST_F(ConnectDisplayTest, StoreHomeKeepsThePhoneTab) {
  Select(u"market_index_optn");
  for (int s : {1, 3, 5, 8, 11, 14, 15, 16, 18, 19}) {
    Control<CTabLayoutUI>(u"tab_phone", u"TabLayout")->SelectItem(4);
    State(s);
    EXPECT_EQ(Tab(u"tab_phone"), 4) << s;
  }
  // Connected with no phone page chosen: nothing reopens.
  wnd->calls.clear();
  State(kConn_Sucess);
  EXPECT_EQ(Tab(u"tab_phone"), 4);
  EXPECT_EQ(wnd->calls, std::vector<std::string>{"CreatePhone"});
}

// The connect bar: each step creeps 8 points per 300 ms up to a little past
// its share of the bar; after success it runs to the end and shows the phone.
TEST_F(ConnectDisplayTest, ConnectBarFollowsTheStepsAndTheTimer) {
  auto ticks = [&](int n) {
    std::vector<int> values;
    for (int i = 0; i < n; ++i) {
      host->Advance(CConnectDisplay::kConnectElapse);
      values.push_back(Bar());
    }
    return values;
  };
  State(kConn_Start);
  EXPECT_EQ(Bar(), 0);
  EXPECT_EQ(ticks(4), (std::vector<int>{8, 16, 24, 24}));  // holds once past 100/6
  State(kConn_CheckAndroidMode);                          // floor 10: no change
  EXPECT_EQ(Bar(), 24);
  EXPECT_EQ(ticks(3), (std::vector<int>{32, 40, 40}));
  State(kConn_CheckAdbMode);
  EXPECT_EQ(ticks(3), (std::vector<int>{48, 56, 56}));
  State(kConn_CheckPhoneServer);                          // no step of its own
  EXPECT_EQ(ticks(1), (std::vector<int>{56}));
  State(kConn_InstallPhoneApk);
  EXPECT_EQ(ticks(3), (std::vector<int>{64, 72, 72}));
  State(kConn_Start_PhoneServer);
  EXPECT_EQ(ticks(3), (std::vector<int>{80, 88, 88}));
  State(kConn_Sucess);                                    // floor 90, then the last step
  EXPECT_EQ(Bar(), 90);
  EXPECT_EQ(ticks(2), (std::vector<int>{98, 100}));
  EXPECT_EQ(Text(u"lbl_connect"), "连接手机中...");
  ticks(1);                                               // full before this tick: connected
  EXPECT_EQ(View(), "lbl=已连接手机 status=0 connecting=0 pages=1 phone=0 why=- timer=off popup=none btn=on step=6");
  EXPECT_FALSE(Control<CAnimationUI>(u"nodevices_animation", u"Animation")->IsPlaying());
  EXPECT_EQ(GetNextTimerDue(), 0u);

  // A later attempt starts the bar from zero.
  State(kConn_Start);
  EXPECT_EQ(Bar(), 0);
  EXPECT_TRUE(wnd->display.IsConnectTimerRunning());
}

// Success raises the window, and the phone page that was open before the
// connection was lost shows again.
TEST_F(ConnectDisplayTest, SuccessReopensThePreviousPage) {
  const struct { const char16_t* option; std::vector<std::string> calls; int tab; } cases[] = {
      {u"myapp_optn", {"CreatePhone", "ShowPhonePage(1)"}, 1},
      {u"contact_optn", {"CreatePhone", "ShowPhonePage(2)"}, 2},
      {u"sms_optn", {"CreatePhone", "ShowPhonePage(3)"}, 3},
      {u"pic_optn", {"CreatePhone", "ShowPhonePage(4)"}, 4},
      {u"music_optn", {"CreatePhone", "ShowPhonePage(5)"}, 5},
      {u"video_optn", {"CreatePhone", "ShowPhonePage(6)"}, 6},
      {u"myphone_optn", {"CreatePhone"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(CDuiString(c.option).ToUtf8());
    Select(c.option);
    State(kConn_Phone_Remove);
    EXPECT_EQ(Tab(u"tab_phone"), 0);
    State(kConn_Start);
    wnd->calls.clear();
    wnd->own_posts.clear();
    State(kConn_Sucess);
    EXPECT_EQ(wnd->calls, c.calls);
    EXPECT_EQ(Tab(u"tab_phone"), c.tab);
    PumpPendingMessages();
    EXPECT_EQ(wnd->own_posts, (std::vector<UINT>{WM_SYSCOMMAND, msg::kBringToFront}));
  }
}

// Removal clears every page; a cancel shows its reason and clears nothing.
TEST_F(ConnectDisplayTest, RemovalClearsThePagesCancelDoesNot) {
  State(kConn_Start);
  State(kConn_Sucess);
  wnd->calls.clear();
  State(kConn_Cancel);
  EXPECT_TRUE(wnd->calls.empty());
  State(kConn_Phone_Remove);
  EXPECT_EQ(wnd->calls, std::vector<std::string>{"ClearPages"});
}

// One side window at a time, each created on first use over the main window.
TEST_F(ConnectDisplayTest, SideWindowsOneAtATime) {
  EXPECT_FALSE(wnd->adb_tips.IsCreated());
  State(kConn_Phone_Open_debug);
  ASSERT_TRUE(wnd->adb_tips.IsCreated());
  EXPECT_EQ(GetParent(wnd->adb_tips.GetHWND()), hwnd);
  EXPECT_FALSE(wnd->drv_progress.IsCreated());
  EXPECT_FALSE(wnd->offline_tips.IsCreated());

  State(kConn_Phone_offline);
  EXPECT_FALSE(wnd->adb_tips.IsVisible());
  EXPECT_TRUE(wnd->offline_tips.IsVisible());

  State(kConn_DownloadDrv);
  EXPECT_FALSE(wnd->offline_tips.IsVisible());
  EXPECT_TRUE(wnd->drv_progress.IsVisible());
  EXPECT_EQ(wnd->drv_progress.IsCreated() ? GetParent(wnd->drv_progress.GetHWND()) : 0u, hwnd);

  // The driver window follows the installation states it is handed.
  auto* label = CPaintManagerUI::GetManagerOf(wnd->drv_progress.GetHWND())->FindControl(u"lab_drv_status");
  State(kConn_SetupDrv);
  EXPECT_EQ(label->GetText().str(), u"正在安装手机驱动");
  host->Advance(1000);
  EXPECT_GT(wnd->drv_progress.Progress(), 0);
  State(kConn_SetupDrv_end);
  EXPECT_FALSE(wnd->drv_progress.IsVisible());
  EXPECT_EQ(Text(u"lbl_connect"), "已连接手机");
}

// Closing the help window with Escape shows state 18 in the main window.
TEST_F(ConnectDisplayTest, EscapeOnTheHelpWindowCancels) {
  State(kConn_Start);
  State(kConn_Phone_Open_debug);
  ASSERT_TRUE(wnd->adb_tips.IsVisible());
  PressKey(wnd->adb_tips.GetHWND(), VK_ESCAPE);
  PumpPendingMessages();
  EXPECT_FALSE(wnd->adb_tips.IsVisible());
  EXPECT_EQ(Text(u"lbl_conn_failed_reason"), "请尝试重新连接手机");
  EXPECT_EQ(Tab(u"tab_connecting_status"), 1);
}

}  // namespace
}  // namespace connect_display_test
