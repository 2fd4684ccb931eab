// The main window headless: its set-up and teardown, the message table, the
// close rule and the tray, the popup menus, page switching, the connection
// display, and messages that carry a heap object.
#include <map>
#include <memory>

#include "app/core/message_ids.h"
#include "app/core/message_payloads.h"
#include "app/core/phone_message.h"
#include "ui/frame/window_poster.h"
#include "ui/menu/popup_menus.h"
#include "ui/pages/dialogs.h"
#include "ui/pages/search_menu.h"
#include "ui/small_windows/down_gif_wnd.h"
#include "ui/tests/frame_fixture.h"

namespace ui_test {
namespace {

std::string Join(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += (out.empty() ? "" : ",") + s;
  return out;
}

bool Has(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

TEST_F(TempUserTest, SetUpAndTeardownReachThePhoneSideInOrder) {
  FakeBackend backend;
  SetFrameBackend(&backend);
  auto* frame = new CMainFrame;
  frame->InitWinParam(u"wnd_xml\\main_frame.xml");
  HWND h = frame->Create(0, u"Shelfhub", 0x800A0000, 0x100);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetMainFrame(), frame);
  EXPECT_EQ(CConfigMgr::Instance()->GetMainWnd(), h);
  EXPECT_EQ(Join(backend.calls), "StartConnection,InitTasks");
  CPageController* const pages[] = {
      &frame->PhoneInfo(), &frame->PhoneApp(), &frame->Picture(), &frame->Music(), &frame->Video()};
  for (CPageController* page : pages) EXPECT_EQ(page->Inits(), 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(frame->Browser(i).GetType(), i);
    EXPECT_NE(frame->Browser(i).Browser(), nullptr);
  }
  // Store home selected, "not connected" shown, placeholder in the search box, tray icon there.
  CPaintManagerUI& pm = frame->PaintManager();
  EXPECT_TRUE(static_cast<COptionUI*>(pm.FindControl(u"market_index_optn")->GetInterface(u"Option"))->IsSelected());
  EXPECT_EQ(static_cast<CTabLayoutUI*>(pm.FindControl(u"tab_mainpage")->GetInterface(u"TabLayout"))->GetCurSel(), 1);
  EXPECT_EQ(pm.FindControl(u"lbl_connect")->GetText(), u"请连接手机");
  EXPECT_FALSE(pm.FindControl(u"phones_btn")->IsEnabled());
  EXPECT_EQ(pm.FindControl(u"search_edit")->GetText(), u"应用市场搜索");
  ASSERT_TRUE(host->HasTrayIcon(CMainFrame::kTrayIconId));
  const auto& add = host->TrayCalls().back();
  EXPECT_EQ(add.op, NIM_ADD);
  EXPECT_EQ(add.icon.uCallbackMessage, 1294u);
  EXPECT_EQ(add.icon.sTip, u"Zelvik手游助手");
  EXPECT_EQ(add.icon.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);

  backend.calls.clear();
  DestroyWindow(h);
  delete frame;
  EXPECT_EQ(GetMainFrame(), nullptr);
  EXPECT_EQ(Join(backend.calls), "ReleaseConnection,ReleaseTasks");
  EXPECT_FALSE(host->HasTrayIcon(CMainFrame::kTrayIconId));
  SetFrameBackend(nullptr);
}

TEST_F(FrameTest, CustomControlsOfTheLayoutAreBuiltByClass) {
  struct Case {
    const char16_t* name;
    const char16_t* cls;
  } cases[] = {
      {u"myapplist", u"MyAppListUI"},       {u"contactlist", u"ContactListUI"},
      {u"constomlist_new", u"ConstomNewListUI"}, {u"constomlist_edit", u"ConstomEditListUI"},
      {u"constomlist_info", u"ConstomInfoListUI"}, {u"smslist", u"SmsListUI"},
      {u"smsdetailist", u"SmsDetailListUI"}, {u"picturehomelist", u"PictureListUI"},
      {u"picsub_list", u"PictureSubListUI"}, {u"mymusiclist", u"MusicListUI"},
      {u"myvideolist", u"VideoListUI"},
  };
  for (const Case& c : cases) {
    CControlUI* control = PM().FindControl(c.name);
    ASSERT_NE(control, nullptr) << CDuiString(c.name).ToUtf8();
    EXPECT_EQ(std::u16string(control->GetClass()), c.cls);
  }
  EXPECT_EQ(frame->CreateControl(u"NoSuchClass"), nullptr);
}

// Each own number reaches exactly its receiver; the page walk stops at the
// first controller that takes it; numbers nobody takes reach the library.
TEST_F(FrameTest, EveryNumberReachesExactlyOneReceiver) {
  enum Who { kMain, kDefault, kInfo, kApp, kContact, kSms, kTask, kPicture, kMusic, kVideo };
  std::map<UINT, Who> expected;
  // 35768 is the window base's own (restore, show, raise): no page sees it.
  for (UINT n : {1225u, 1226u, 1227u, 1261u, 1289u, 1294u, 1295u, 35768u, 35769u, 35770u}) expected[n] = kMain;
  for (UINT n : {1230u, 1239u, 1252u, 1268u, 1290u, 1291u, 1292u, 1293u}) expected[n] = kDefault;
  for (UINT n : {1228u, 1229u, 1231u, 1232u, 1233u, 1234u, 1235u, 1236u, 1237u, 1238u, 1240u}) expected[n] = kInfo;
  for (UINT n = 1241; n <= 1251; ++n) expected[n] = kApp;
  expected[1253] = kApp;
  for (UINT n = 1254; n <= 1260; ++n) expected[n] = kTask;
  for (UINT n = 1262; n <= 1266; ++n) expected[n] = kContact;
  expected[1267] = kSms;
  for (UINT n = 1269; n <= 1273; ++n) expected[n] = kSms;
  for (UINT n = 1274; n <= 1280; ++n) expected[n] = kPicture;
  for (UINT n = 1281; n <= 1284; ++n) expected[n] = kMusic;
  for (UINT n = 1285; n <= 1288; ++n) expected[n] = kVideo;
  ASSERT_EQ(expected.size(), 74u);  // 1225-1295 and the three private numbers

  CPageController* pages[] = {
      &frame->PhoneInfo(), &frame->PhoneApp(), &frame->AutoTask(), &frame->Picture(), &frame->Music(), &frame->Video()};
  const Who page_who[] = {kInfo, kApp, kTask, kPicture, kMusic, kVideo};
  constexpr int kPages = 6;
  for (const auto& [number, who] : expected) {
    int before[kPages];
    for (int i = 0; i < kPages; ++i) before[i] = pages[i]->ReceivedCount();
    size_t defaulted_before = frame->defaulted.size();
    SendMessage(hwnd, number, 0, 0);
    std::vector<Who> reached;
    for (int i = 0; i < kPages; ++i)
      if (pages[i]->ReceivedCount() != before[i]) reached.push_back(page_who[i]);
    // The contacts and SMS pages (on no base) take their own numbers (the walk stops there).
    if (CContactDlg::Owns(number) && reached.empty() && frame->defaulted.size() == defaulted_before)
      reached.push_back(kContact);
    if (CSmsDlg::Owns(number) && reached.empty() && frame->defaulted.size() == defaulted_before)
      reached.push_back(kSms);
    if (frame->defaulted.size() != defaulted_before) reached.push_back(kDefault);
    if (who == kMain) {
      EXPECT_TRUE(reached.empty()) << number;
    } else {
      ASSERT_EQ(reached.size(), 1u) << number;
      EXPECT_EQ(reached[0], who) << number;
    }
  }
}

TEST_F(FrameTest, CloseRule) {
  struct Case {
    const char* what;
    int close_type;
    std::function<void(FrameTest*)> act;
    bool alive, visible, tray;
    int stat;
  } cases[] = {
      {"close button, to the tray", 0, [](FrameTest* t) { ClickControl(t->PM(), u"close_btn"); }, true, false, true, 21},
      {"close button, quit", 1, [](FrameTest* t) { ClickControl(t->PM(), u"close_btn"); }, false, false, false, 21},
      {"WM_CLOSE 1000", 0, [](FrameTest* t) { PostMessage(t->hwnd, WM_CLOSE, 0, 1000); }, false, false, false, 0},
      {"quit request 1295", 0, [](FrameTest* t) { PostMessage(t->hwnd, 1295, 0, 0); }, false, false, false, 0},
      {"menu exit", 0, [](FrameTest* t) { PostMessage(t->hwnd, 35769, 107, 0); }, false, false, false, 44},
      {"minimise button", 0, [](FrameTest* t) { ClickControl(t->PM(), u"min_btn"); }, true, true, true, 22},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    CConfigMgr::Instance()->SetCloseType(c.close_type);
    c.act(this);
    Pump();
    EXPECT_EQ(IsWindow(hwnd), c.alive);
    EXPECT_EQ(IsWindowVisible(hwnd), c.visible);
    EXPECT_EQ(host->HasTrayIcon(CMainFrame::kTrayIconId), c.tray);
    EXPECT_EQ(IsQuitPending(), !c.alive);
    if (c.stat) {
      EXPECT_TRUE(Has(backend.actions, c.stat));
    }
  }
}

TEST_F(FrameTest, HiddenToTrayComesBackOnTrayClick) {
  ClickControl(PM(), u"close_btn");
  Pump();
  ASSERT_FALSE(IsWindowVisible(hwnd));
  ASSERT_TRUE(host->ClickTray(CMainFrame::kTrayIconId, WM_LBUTTONDOWN));
  Pump();
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_FALSE(IsIconic(hwnd));
  EXPECT_EQ(GetForegroundWindow(), hwnd);
}

TEST_F(FrameTest, MaximiseAndRestoreSwapTheirButtons) {
  ClickControl(PM(), u"max_btn");
  Pump();
  EXPECT_TRUE(IsZoomed(hwnd));
  EXPECT_EQ(TabOf(u"tabesize"), 1);
  EXPECT_FALSE(PM().FindControl(u"max_btn")->IsVisible());
  EXPECT_TRUE(PM().FindControl(u"restore_btn")->IsVisible());
  ClickControl(PM(), u"restore_btn");
  Pump();
  EXPECT_FALSE(IsZoomed(hwnd));
  EXPECT_EQ(TabOf(u"tabesize"), 0);
  EXPECT_TRUE(PM().FindControl(u"max_btn")->IsVisible());
  EXPECT_TRUE(Has(backend.actions, 23));
  EXPECT_TRUE(Has(backend.actions, 24));
}

TEST_F(FrameTest, WithoutATrayClosingOnlyMinimises) {
  CMainFrame::SetTrayShownQuery([] { return false; });
  ClickControl(PM(), u"close_btn");
  Pump();
  CMainFrame::SetTrayShownQuery(nullptr);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_TRUE(IsIconic(hwnd));
}

TEST_F(FrameTest, MainMenuFromButtonAndTray) {
  struct Case {
    const char* from;
    std::function<void(FrameTest*)> open;
    std::vector<std::u16string> items;
  } cases[] = {
      {"options button", [](FrameTest* t) { ClickControl(t->PM(), u"option_btn"); }, {u"设置", u"关于"}},
      {"tray icon", [](FrameTest* t) { t->host->ClickTray(CMainFrame::kTrayIconId, WM_RBUTTONUP); },
       {u"设置", u"关于", u"退出"}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.from);
    c.open(this);
    Pump();
    CMainMenu* menu = OpenMainMenu();
    ASSERT_NE(menu, nullptr);
    CListUI* list = menu->GetMenuList();
    ASSERT_EQ(list->GetCount(), static_cast<int>(c.items.size()));
    for (int i = 0; i < list->GetCount(); ++i) EXPECT_EQ(list->GetItemAt(i)->GetText().str(), c.items[i]);
    // "关于" posts 35769 with 106 to the main window.
    int opened = dialogs::OpenedCount();
    backend.actions.clear();
    int about_boxes = 0;
    host->PushModalScript([&](HWND box) {
      ++about_boxes;
      ClickControl(box, u"close_btn");
    });
    ASSERT_TRUE(ClickControl(list->GetItemAt(1)));
    Pump();
    EXPECT_EQ(about_boxes, 1);
    EXPECT_EQ(OpenMainMenu(), nullptr);  // the menu is gone and deleted itself
    EXPECT_EQ(dialogs::OpenedCount(), opened + 1);
    EXPECT_TRUE(Has(backend.actions, 45));
  }
}

TEST_F(FrameTest, ContactMenuHandsTheChosenGroupToItsOpener) {
  std::vector<int> chosen;
  ShowContactMenu(hwnd, MakePoint(100, 120), [&chosen](int group) { chosen.push_back(group); });
  CContactMenu* menu = OpenContactMenu();
  ASSERT_NE(menu, nullptr);
  RECT rc;
  GetWindowRect(menu->GetHWND(), &rc);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.top, 120);
  EXPECT_EQ(rc.Height(), 4 * 25 + 4);
  CListUI* list = menu->GetMenuList();
  ASSERT_EQ(list->GetCount(), 4);
  EXPECT_EQ(list->GetItemAt(3)->GetText(), u"地址");
  ASSERT_TRUE(ClickControl(list->GetItemAt(3)));
  Pump();
  EXPECT_EQ(chosen, std::vector<int>{3});
  EXPECT_EQ(OpenContactMenu(), nullptr);
}

TEST_F(FrameTest, PhonePagesNeedAPhone) {
  auto select = [&](const char16_t* name) {
    static_cast<COptionUI*>(PM().FindControl(name)->GetInterface(u"Option"))->Selected(true);
  };
  select(u"myapp_optn");
  EXPECT_EQ(TabOf(u"tab_phone"), 0);
  EXPECT_EQ(frame->PhoneApp().Shows(), 0);
  EXPECT_FALSE(Has(backend.actions, 122));

  backend.connected = true;
  select(u"sms_optn");
  EXPECT_EQ(TabOf(u"tab_mainpage"), 0);
  EXPECT_EQ(TabOf(u"tab_phone"), 3);
  EXPECT_TRUE(Has(backend.actions, 124));

  select(u"market_class_optn");
  EXPECT_EQ(TabOf(u"tab_mainpage"), 1);
  EXPECT_EQ(TabOf(u"tab_web_market"), 2);
  EXPECT_TRUE(Has(backend.actions, 129));

  // The home view's shortcut buttons select their page.
  select(u"myphone_optn");
  SendMessage(hwnd, 1227, 0, 13);  // connected: the phone view shows
  ClickControl(PM(), u"video_btn");
  Pump();
  EXPECT_TRUE(Has(backend.actions, 87));
  EXPECT_EQ(TabOf(u"tab_phone"), 6);
}

TEST_F(FrameTest, ConnectionDisplay) {
  auto state = [&](int s) { SendMessage(hwnd, msg::kConnectionState, 0, s); };
  for (int s : {0, 6, 20}) {
    state(s);
    EXPECT_EQ(TextOf(u"lbl_connect"), u"请连接手机") << s;
  }
  state(1);
  EXPECT_EQ(TextOf(u"lbl_connect"), u"连接手机中...");
  EXPECT_EQ(TabOf(u"tab_connect_status"), 1);
  state(8);
  EXPECT_EQ(TextOf(u"lbl_conn_failed_reason"), u"安装Andriod助手失败");
  EXPECT_EQ(TabOf(u"tab_connecting_status"), 1);

  state(1);
  state(17);
  EXPECT_EQ(backend.calls.back(), "CreatePhone");
  host->Advance(5000);  // the progress timer fills the bar, then shows the phone
  EXPECT_EQ(TextOf(u"lbl_connect"), u"已连接手机");
  EXPECT_EQ(TabOf(u"tab_connect_pages"), 1);
  EXPECT_TRUE(PM().FindControl(u"phones_btn")->IsEnabled());

  // Cancelled: failure text only; removed: every page clears.
  state(18);
  EXPECT_EQ(frame->Music().Clears(), 0);
  state(19);
  CPageController* const pages[] = {
      &frame->PhoneInfo(), &frame->PhoneApp(), &frame->Picture(), &frame->Music(), &frame->Video()};
  for (CPageController* page : pages) EXPECT_EQ(page->Clears(), 1);
  EXPECT_EQ(TextOf(u"lbl_connect"), u"请连接手机");
}

TEST_F(FrameTest, AgentLinkFailureReconnects) {
  backend.reconnect_answer = false;
  SendMessage(hwnd, msg::kAgentLinkFailed, 0, 0);
  EXPECT_EQ(backend.calls.back(), "ReConnect");
  EXPECT_EQ(TextOf(u"lbl_conn_failed_reason"), u"与手机通讯失败");
  backend.reconnect_answer = true;
  SendMessage(hwnd, msg::kAgentLinkFailed, 0, 0);
  EXPECT_EQ(TextOf(u"lbl_connect"), u"连接手机中...");
}

// Messages that own a heap object: delivered ones are freed by their
// receiver, queued ones whose window dies by the post layer, and a post to
// a dead window leaves the object with the sender. (Leaks show under ASan.)
TEST_F(FrameTest, CarriedObjectsAreFreedOnEveryPath) {
  InstallWindowPoster();
  ASSERT_EQ(CConfigMgr::Instance()->GetMainWnd(), hwnd);
  // Delivered.
  SendMessage(hwnd, msg::kConnectionState, 0, 10);  // the driver window shows
  auto finished = std::make_unique<DriverDownloadProgress>();
  finished->status = 6;
  EXPECT_TRUE(PostPhoneMessageOwning(msg::kDriverDownloadProgress, 7, std::move(finished)));
  EXPECT_TRUE(PostPhoneMessage(msg::kScreenshotInMemory, reinterpret_cast<uintptr_t>(new ScreenBitmap), 0));
  Pump();
  EXPECT_EQ(frame->DrvProgress().Progress(), 50);
  EXPECT_EQ(frame->PhoneInfo().LastReceived(), msg::kScreenshotInMemory);
  // Queued, then the window goes.
  EXPECT_TRUE(PostPhoneMessageOwning(msg::kDriverDownloadProgress, 7, std::make_unique<DriverDownloadProgress>()));
  EXPECT_TRUE(PostPhoneMessage(msg::kScreenshotInMemory, reinterpret_cast<uintptr_t>(new ScreenBitmap), 0));
  DestroyWindow(hwnd);
  Pump();
  // Posted after the window is gone: refused, the sender keeps (and frees) it.
  EXPECT_FALSE(PostPhoneMessageOwning(msg::kDriverDownloadProgress, 7, std::make_unique<DriverDownloadProgress>()));
  auto* bitmap = new ScreenBitmap;
  if (!PostPhoneMessage(msg::kScreenshotInMemory, reinterpret_cast<uintptr_t>(bitmap), 0)) delete bitmap;
  UninstallWindowPoster();
}

// Key-downs stop at the main window: neither a page nor the library sees
// them. The arrows are only looked at: they walk on to the pages and the
// library, and reach the suggestion popup while it shows.
TEST_F(FrameTest, KeysStopAtTheMainWindow) {
  CPageController* pages[] = {
      &frame->PhoneInfo(), &frame->PhoneApp(), &frame->AutoTask(), &frame->Picture(), &frame->Music(), &frame->Video()};
  constexpr int kPages = 6;
  struct Case {
    const char* name;
    WPARAM key;
    bool walks_on;
  } cases[] = {{"letter", 'A', false},    {"enter", VK_RETURN, false}, {"escape", VK_ESCAPE, false},
               {"delete", VK_DELETE, false}, {"down", VK_DOWN, true},  {"up", VK_UP, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int offered[kPages];
    for (int i = 0; i < kPages; ++i) offered[i] = pages[i]->Offered();
    const size_t defaulted = frame->defaulted.size();
    EXPECT_EQ(SendMessage(hwnd, WM_KEYDOWN, c.key, 0), 0);
    for (int i = 0; i < kPages; ++i) EXPECT_EQ(pages[i]->Offered() - offered[i], c.walks_on ? 1 : 0) << i;
    EXPECT_EQ(frame->defaulted.size() - defaulted, c.walks_on ? 1u : 0u);
  }
}

// The suggestion popup: the arrow keys and the wheel are posted on to it
// while it shows (they move its highlight); a left click outside it or any
// click on the frame's non-client area hides it, a click inside does not.
TEST_F(FrameTest, SearchPopupTakesArrowsAndWheelAndHidesOnClicksOutside) {
  auto show = [&] {
    frame->OfferSuggestions({u"王者荣耀", u"王者之剑", u"王者归来"});
    SendMessage(hwnd, msg::kSearchSuggestions, 0, 0);
  };
  show();
  CSearchMenu& popup = frame->SearchMenu();
  ASSERT_TRUE(popup.IsVisible());
  ASSERT_NE(popup.GetHWND(), 0u);
  const WPARAM wheel_up = static_cast<WPARAM>(120) << 16;
  const WPARAM wheel_down = static_cast<WPARAM>(static_cast<uint16_t>(-120)) << 16;
  struct Step {
    UINT message;
    WPARAM wParam;
    const char16_t* highlighted;
  } steps[] = {{WM_KEYDOWN, VK_DOWN, u"王者荣耀"}, {WM_KEYDOWN, VK_DOWN, u"王者之剑"},
               {WM_MOUSEWHEEL, wheel_down, u"王者归来"}, {WM_MOUSEWHEEL, wheel_up, u"王者之剑"},
               {WM_KEYDOWN, VK_UP, u"王者荣耀"},     {WM_KEYDOWN, VK_UP, u"王者归来"}};
  for (const Step& step : steps) {
    SendMessage(hwnd, step.message, step.wParam, 0);
    Pump();
    EXPECT_EQ(popup.GetHotText(), step.highlighted) << step.message << " " << step.wParam;
  }
  // Hidden, the popup gets nothing.
  popup.Hide();
  SendMessage(hwnd, WM_KEYDOWN, VK_DOWN, 0);
  SendMessage(hwnd, WM_MOUSEWHEEL, wheel_down, 0);
  Pump();
  EXPECT_EQ(popup.GetHotText(), u"王者归来");

  // Clicks: a point inside the popup and one outside it, in client coordinates.
  RECT edit = PM().FindControl(u"search_edit")->GetPos();
  POINT inside = MakePoint(edit.left + 5, edit.bottom + 5);
  POINT outside = MakePoint(edit.left + 5, edit.bottom + 200);
  struct Click {
    const char* name;
    UINT message;
    POINT at;
    bool stays;
  } clicks[] = {{"left click inside", WM_LBUTTONDOWN, inside, true},
                {"left click outside", WM_LBUTTONDOWN, outside, false},
                {"non-client click", WM_NCLBUTTONDOWN, inside, false}};
  for (const Click& c : clicks) {
    SCOPED_TRACE(c.name);
    show();
    ASSERT_TRUE(popup.IsVisible());
    POINT screen = c.at;
    ClientToScreen(hwnd, &screen);
    ASSERT_EQ(popup.ContainsPoint(screen.x, screen.y), c.at.y == inside.y);
    SendMessage(hwnd, c.message, 0, MAKELPARAM(c.at.x, c.at.y));
    EXPECT_EQ(popup.IsVisible(), c.stays);
  }
  popup.Hide();
}

// 1261: the download indicator flies from the cursor to the task button,
// rests there and disappears; a request during a flight starts none.
TEST_F(FrameTest, DownloadAnimationFliesToTheTaskButton) {
  host->SetCursorPos(MakePoint(700, 500));
  CDownGifWnd& gif = frame->DownGif();
  ASSERT_FALSE(IsWindowVisible(gif.GetHWND()));
  SendMessage(hwnd, msg::kDownloadAnimation, 0, 0);
  ASSERT_TRUE(IsWindowVisible(gif.GetHWND()));
  RECT button = PM().FindControl(u"autotask_btn")->GetPos();
  POINT expected = MakePoint(button.left, button.top);
  ClientToScreen(hwnd, &expected);
  EXPECT_EQ(gif.Target().x, expected.x + 25);
  EXPECT_EQ(gif.Target().y, expected.y - 5);
  RECT start;
  GetWindowRect(gif.GetHWND(), &start);
  host->SetCursorPos(MakePoint(100, 100));
  SendMessage(hwnd, msg::kDownloadAnimation, 0, 0);  // mid-flight: ignored
  RECT again;
  GetWindowRect(gif.GetHWND(), &again);
  EXPECT_EQ(again.left, start.left);
  EXPECT_EQ(again.top, start.top);
  host->Advance(10 * CDownGifWnd::kFlightElapse + CDownGifWnd::kRestElapse + 100);
  EXPECT_FALSE(IsWindowVisible(gif.GetHWND()));
}

// The task button pressed while the task manager is still starting is kept:
// the task window opens once the start has ended, once however often it
// was pressed; afterwards the button shows and hides it as before.
TEST_F(FrameTest, TaskWindowAskedForDuringTheStartOpensOnceStarted) {
  backend.tasks_started = false;
  CAutoTaskDlg& tasks = frame->AutoTask();
  ClickControl(PM(), u"autotask_btn");
  ClickControl(PM(), u"autotask_btn");
  Pump();
  EXPECT_FALSE(tasks.IsVisible());
  EXPECT_EQ(backend.actions, (std::vector<int>{30, 30}));
  backend.tasks_started = true;
  SendMessage(hwnd, msg::kTaskMgrStarted, 1, 0);
  EXPECT_TRUE(tasks.IsVisible());
  ClickControl(PM(), u"autotask_btn");
  EXPECT_FALSE(tasks.IsVisible());
  SendMessage(hwnd, msg::kTaskMgrStarted, 1, 0);
  EXPECT_FALSE(tasks.IsVisible());
}

}  // namespace
}  // namespace ui_test
