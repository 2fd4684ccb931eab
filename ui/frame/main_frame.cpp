#include "ui/frame/main_frame.h"

#include <cstring>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/message_payloads.h"
#include "app/task/auto_task_mgr.h"
#include "foundation/base/log.h"
#include "ui/frame/frame_backend.h"
#include "ui/menu/popup_menus.h"
#include "ui/pages/custom_controls.h"
#include "ui/pages/dialogs.h"

using namespace DuiLib;

namespace {

CMainFrame* g_main_frame = nullptr;  // UI thread only
std::function<bool()> g_tray_shown;   // UI thread only

constexpr char16_t kSearchPlaceholder[] = u"应用市场搜索";
constexpr char16_t kTrayTip[] = u"Zelvik手游助手";
constexpr LPARAM kCloseQuit = 1000;       // WM_CLOSE lParam of a quit
constexpr LPARAM kMinimizeToTray = 2;     // SC_MINIMIZE lParam of the close rule

// Menu commands (35769 wParam) and their statistics ids.
constexpr WPARAM kMenuSettings = 105;
constexpr WPARAM kMenuAbout = 106;
constexpr WPARAM kMenuQuit = 107;

struct ClickAction {
  const char16_t* control;
  int stat_id;
};

// Clicks of the main window that count a statistics action before acting.
constexpr ClickAction kClickActions[] = {
    {u"close_btn", 21},        {u"min_btn", 22},          {u"max_btn", 23},    {u"restore_btn", 24},
    {u"option_btn", 25},       {u"feedback_btn", 26},     {u"autotask_btn", 30}, {u"app_btn", 82},
    {u"app_shortcut_btn", 82}, {u"contact_btn", 83},      {u"sms_btn", 84},    {u"pic_btn", 85},
    {u"music_btn", 86},        {u"video_btn", 87},        {u"app_goto_appmark", 150},
    {u"search_btn", 28},       {u"conn_phone_btn", 601},
};

// Phone page options: statistics id, "tab_phone" item, whether a phone is needed.
struct PhoneOption {
  const char16_t* option;
  int stat_id;
  int tab_item;
  bool needs_phone;
};
constexpr PhoneOption kPhoneOptions[] = {
    {u"myphone_optn", 121, 0, false}, {u"myapp_optn", 122, 1, true}, {u"contact_optn", 123, 2, true},
    {u"sms_optn", 124, 3, true},      {u"pic_optn", 125, 4, true},   {u"music_optn", 126, 5, true},
    {u"video_optn", 127, 6, true},
};

// Store options: statistics id, "tab_web_market" item = browser page.
struct StoreOption {
  const char16_t* option;
  int stat_id;
  int page;
};
constexpr StoreOption kStoreOptions[] = {
    {u"market_index_optn", 128, 0},
    {u"market_choice_optn", 129, 1},
    {u"market_class_optn", 129, 2},
    {u"market_ranking_optn", 129, 3},
};

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

void CountAction(int id) { FrameBackend()->ReportUserAction(id); }

// The top-left corner of a control in screen coordinates.
POINT ControlScreenTopLeft(CControlUI* control, HWND hWnd) {
  RECT rc = control->GetPos();
  POINT pt = MakePoint(rc.left, rc.top);
  ClientToScreen(hWnd, &pt);
  return pt;
}

template <typename T>
T* Find(CPaintManagerUI& pm, const char16_t* name, const char16_t* iface) {
  CControlUI* c = pm.FindControl(name);
  if (!c) {
    PD_LOG_WARNING("main frame: control %s missing", CDuiString(name).ToUtf8().c_str());
    return nullptr;
  }
  return static_cast<T*>(c->GetInterface(iface));
}

}  // namespace

CMainFrame* GetMainFrame() { return g_main_frame; }

void CMainFrame::SetTrayShownQuery(std::function<bool()> query) { g_tray_shown = std::move(query); }

int frame_stats::ClickActionId(const std::u16string& control) {
  for (const ClickAction& a : kClickActions)
    if (CompareNoCase(control.c_str(), a.control) == 0) return a.stat_id;
  return 0;
}

CMainFrame::CMainFrame() {
  g_main_frame = this;
  CPaintManagerUI* pm = &m_PaintManager;
  phone_info_ = std::make_unique<CPhoneInfoDlg>(pm);
  for (auto& b : browsers_) b = std::make_unique<CWebBrowserDlg>(pm);
  phone_app_ = std::make_unique<CPhoneAppDlg>(pm);
  contact_ = std::make_unique<CContactDlg>(pm);
  sms_ = std::make_unique<CSmsDlg>(pm);
  picture_ = std::make_unique<CPictureDlg>(pm);
  music_ = std::make_unique<CMusicDlg>(pm);
  video_ = std::make_unique<CVideoDlg>(pm);
  search_menu_ = std::make_unique<CSearchMenu>();
  adb_tips_ = std::make_unique<CAdbTipsWnd>();
  offline_tips_ = std::make_unique<COfflineTipsWnd>();
  drv_progress_ = std::make_unique<CDrvProgressWnd>();
  auto_task_ = std::make_unique<CAutoTaskDlg>();
  down_gif_ = std::make_unique<CDownGifWnd>();
  // The completion callback runs on the completion worker, which the
  // destructor stops before anything else goes: it hands over its copy and
  // posts 1289 to the window while it lives.
  app_search_ = std::make_unique<CAppSearchThread>([this](std::vector<std::u16string> names) {
    OfferSuggestions(std::move(names));
    std::lock_guard<std::mutex> hold(offered_lock_);
    if (offer_to_) DuiLib::PostMessage(offer_to_, msg::kSearchSuggestions, 0, 0);
  });
}

void CMainFrame::OfferSuggestions(std::vector<std::u16string> names) {
  std::lock_guard<std::mutex> hold(offered_lock_);
  offered_ = std::move(names);
}

void CMainFrame::SetOfferTarget(HWND hwnd) {
  std::lock_guard<std::mutex> hold(offered_lock_);
  offer_to_ = hwnd;
}

CMainFrame::~CMainFrame() {
  // The completion worker first: its callback uses this window.
  app_search_.reset();
  g_main_frame = nullptr;
  FrameBackend()->ReleaseConnection();
  if (auto_task_) auto_task_->SetTaskManager(nullptr);
  FrameBackend()->ReleaseTasks();
  PD_LOG_INFO("MainFrame::~MainFrame\r\n");
  // Members go in reverse construction order.
  down_gif_.reset();
  auto_task_.reset();
  drv_progress_.reset();
  offline_tips_.reset();
  adb_tips_.reset();
  search_menu_.reset();
  video_.reset();
  music_.reset();
  picture_.reset();
  sms_.reset();
  contact_.reset();
  phone_app_.reset();
  for (int i = 3; i >= 0; --i) browsers_[i].reset();
  phone_info_.reset();
}

CControlUI* CMainFrame::CreateControl(LPCTSTR cls) {
  struct Maker {
    const char16_t* cls;
    CControlUI* (*make)();
  };
  static const Maker kMakers[] = {
      {u"ListGroud", [] () -> CControlUI* { return new CListGroudUI; }},
      {u"LinkText", [] () -> CControlUI* { return new CLinkTextUI; }},
      {u"MyAppList", [] () -> CControlUI* { return new CMyAppList; }},
      {u"ContactList", [] () -> CControlUI* { return new CContactList; }},
      {u"ConstomNewList", [] () -> CControlUI* { return new CConstomNewList; }},
      {u"ConstomEditList", [] () -> CControlUI* { return new CConstomEditList; }},
      {u"ConstomInfoList", [] () -> CControlUI* { return new CConstomInfoList; }},
      {u"SmsList", [] () -> CControlUI* { return new CSmsList; }},
      {u"SmsDetailList", [] () -> CControlUI* { return new CSmsDetaiList; }},
      {u"PictureList", [] () -> CControlUI* { return new CPictureList; }},
      {u"PictureSubList", [] () -> CControlUI* { return new CPictureSubList; }},
      {u"MusicList", [] () -> CControlUI* { return new CMusicList; }},
      {u"VideoList", [] () -> CControlUI* { return new CVideoList; }},
  };
  for (const Maker& m : kMakers)
    if (std::u16string(cls ? cls : u"") == m.cls) return m.make();
  return nullptr;
}

void CMainFrame::InitAfterCreate() {
  // 1. From now on workers' posts reach this window.
  CConfigMgr::Instance()->SetMainWnd(m_hWnd);
  // 2. Task window and download animation.
  auto_task_->Create(m_hWnd);
  down_gif_->Create(m_hWnd);
  // 3. The phone side.
  FrameBackend()->StartConnection();
  FrameBackend()->InitTasks();
  auto_task_->SetTaskManager(FrameBackend()->TaskManager());
  // 4. Controls.
  CPaintManagerUI& pm = m_PaintManager;
  myphone_optn_ = Find<COptionUI>(pm, u"myphone_optn", u"Option");
  myapp_optn_ = Find<COptionUI>(pm, u"myapp_optn", u"Option");
  contact_optn_ = Find<COptionUI>(pm, u"contact_optn", u"Option");
  sms_optn_ = Find<COptionUI>(pm, u"sms_optn", u"Option");
  pic_optn_ = Find<COptionUI>(pm, u"pic_optn", u"Option");
  music_optn_ = Find<COptionUI>(pm, u"music_optn", u"Option");
  video_optn_ = Find<COptionUI>(pm, u"video_optn", u"Option");
  market_index_optn_ = Find<COptionUI>(pm, u"market_index_optn", u"Option");
  market_choice_optn_ = Find<COptionUI>(pm, u"market_choice_optn", u"Option");
  market_ranking_optn_ = Find<COptionUI>(pm, u"market_ranking_optn", u"Option");
  market_class_optn_ = Find<COptionUI>(pm, u"market_class_optn", u"Option");
  autotask_btn_ = pm.FindControl(u"autotask_btn");
  task_doing_animation_ = pm.FindControl(u"task_doing_animation");
  auto_task_->SetTaskControls(autotask_btn_, task_doing_animation_);
  tab_mainpage_ = Find<CTabLayoutUI>(pm, u"tab_mainpage", u"TabLayout");
  tab_phone_ = Find<CTabLayoutUI>(pm, u"tab_phone", u"TabLayout");
  tab_web_market_ = Find<CTabLayoutUI>(pm, u"tab_web_market", u"TabLayout");
  tab_connect_pages_ = Find<CTabLayoutUI>(pm, u"tab_connect_pages", u"TabLayout");
  tab_connect_status_ = Find<CTabLayoutUI>(pm, u"tab_connect_status", u"TabLayout");
  tab_connecting_status_ = Find<CTabLayoutUI>(pm, u"tab_connecting_status", u"TabLayout");
  lbl_conn_failed_reason_ = Find<CLabelUI>(pm, u"lbl_conn_failed_reason", u"Label");
  lbl_connect_ = Find<CLabelUI>(pm, u"lbl_connect", u"Label");
  lbl_cnn_status_ = Find<CLabelUI>(pm, u"lbl_cnn_status", u"Label");
  phones_btn_ = pm.FindControl(u"phones_btn");
  nodevices_animation_ = Find<CAnimationUI>(pm, u"nodevices_animation", u"Animation");
  connecting_animation_ = Find<CAnimationUI>(pm, u"connecting_animation", u"Animation");
  search_edit_ = Find<CEditUI>(pm, u"search_edit", u"Edit");
  if (search_edit_) search_edit_->SetText(kSearchPlaceholder);
  connect_progress_ = Find<CProgressUI>(pm, u"connect_progress", u"Progress");
  // 5. Store pages.
  for (int i = 0; i < 4; ++i) {
    browsers_[i]->SetType(i);
    browsers_[i]->Init();
  }
  for (auto& b : browsers_) b->SetDownloadListener(FrameBackend()->DownloadRequests());
  // 6. Page controllers.
  phone_info_->Init();
  phone_app_->Init();
  contact_->Init();
  sms_->Init();
  picture_->Init();
  music_->Init();
  video_->Init();
  // 7. Search popup, store home, "not connected".
  search_menu_->Create(m_hWnd);
  if (market_index_optn_) market_index_optn_->Selected(true);
  CreateConnectDisplay();
  SetConnected(false);
  // 8. Icons and the tray.
  SetIcon(kTrayIconId);
  AddTrayIcon();
}

// ---------------- messages ----------------

LRESULT CMainFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_CREATE) SetOfferTarget(m_hWnd);
  LRESULT result = 0;
  bool handled = HandleOwnMessage(uMsg, wParam, lParam, &result);
  if (!handled) handled = OfferToPages(uMsg, wParam, lParam);
  if (handled) return result;
  result = WindowImplBaseNew::HandleMessage(uMsg, wParam, lParam);
  if (uMsg == WM_PAINT && first_paint_hook_) {
    std::function<void()> hook = std::move(first_paint_hook_);
    first_paint_hook_ = nullptr;
    hook();
  }
  return result;
}

bool CMainFrame::HandleOwnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  switch (uMsg) {
    case msg::kDriverDownloadProgress:
      drv_progress_->SetProgress(reinterpret_cast<DriverDownloadProgress*>(lParam));
      return true;
    case msg::kAgentLinkFailed:
      OnAgentLinkFailed();
      return true;
    case msg::kConnectionState:
      OnConnectState(static_cast<int>(lParam));
      return true;
    case msg::kDownloadAnimation:
      OnDownloadAnimation();
      return true;
    case msg::kTaskMgrStarted:
      OnTasksStarted();
      return true;
    case msg::kSearchSuggestions:
      OnSearchSuggestions();
      return true;
    case msg::kTrayIcon:
      OnTrayIcon(lParam);
      return true;
    case msg::kQuitRequest:
      OnQuitRequest();
      return true;
    case msg::kMainMenuCommand:
      OnMenuCommand(wParam);
      return true;
    case msg::kBringToFront:
      // Restored, shown and raised by the window base.
      PD_LOG_INFO("bring to front (wParam %lu)", static_cast<unsigned long>(wParam));
      return false;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_RESTORE) PD_LOG_INFO("restore (lParam %ld)", static_cast<long>(lParam));
      return false;
    case WM_NCLBUTTONDOWN:
      if (search_menu_->IsVisible()) search_menu_->Hide();
      return false;
    case WM_LBUTTONDOWN: {
      POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      ClientToScreen(m_hWnd, &pt);
      if (search_menu_->IsVisible() && !search_menu_->ContainsPoint(pt.x, pt.y)) search_menu_->Hide();
      contact_->OnMouseDown(pt.x, pt.y);
      return false;
    }
    case WM_KEYDOWN:
      if (wParam == VK_DOWN || wParam == VK_UP) {
        // The focused search box moves the highlight itself (its "vk_up" and
        // "vk_down" notifications): posting too would move it twice.
        if (search_menu_->IsVisible() && m_PaintManager.GetFocus() != search_edit_)
          DuiLib::PostMessage(search_menu_->GetHWND(), uMsg, wParam, lParam);
        return false;
      }
      // A focused edit stands for a native edit window of its own, whose
      // keys (Enter among them) never pass through this window: they go on.
      if (CControlUI* focus = m_PaintManager.GetFocus(); focus && focus->GetInterface(u"Edit")) return false;
      return true;  // every other key stays here
    default:
      return false;
  }
}

bool CMainFrame::OfferToPages(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  bool handled = false;
  phone_info_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) phone_app_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) contact_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) sms_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) auto_task_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) picture_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) music_->HandleMessage(uMsg, wParam, lParam, handled);
  if (!handled) video_->HandleMessage(uMsg, wParam, lParam, handled);
  return handled;
}

LRESULT CMainFrame::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& bHandled) {
  bHandled = false;
  return 0;
}

void CMainFrame::OnAgentLinkFailed() {
  SetConnected(false);
  if (FrameBackend()->ReConnect(false)) {
    OnConnectState(1);  // kConn_Start
  } else {
    SetConnecting(true);
    OnConnectState(15);  // kConn_Socket_failed
  }
}

void CMainFrame::OnTrayIcon(LPARAM mouseMsg) {
  switch (static_cast<UINT>(mouseMsg)) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      PostMessage(msg::kBringToFront, 0, 0);
      break;
    case WM_RBUTTONUP:
      ShowMainMenu(m_hWnd, true);
      break;
    default:
      break;
  }
}

void CMainFrame::OnQuitRequest() {
  if (IsWindow(m_hWnd)) PostMessage(WM_CLOSE, 0, msg::kQuitRequest);
}

void CMainFrame::QuitForGood() {
  RemoveTrayIcon();
  PostMessage(WM_CLOSE, 0, kCloseQuit);
}

void CMainFrame::OnMenuCommand(WPARAM command) {
  switch (command) {
    case kMenuSettings:
      CountAction(43);
      dialogs::ShowSettings(m_hWnd);
      break;
    case kMenuAbout:
      CountAction(45);
      dialogs::ShowAbout(m_hWnd);
      break;
    case kMenuQuit:
      CountAction(44);
      QuitForGood();
      break;
    default:
      break;
  }
}

void CMainFrame::OnDownloadAnimation() {
  if (down_gif_->IsVisible() || !autotask_btn_) return;
  POINT target = ControlScreenTopLeft(autotask_btn_, m_hWnd);
  target.x += 25;
  target.y -= 5;
  POINT from;
  GetCursorPos(&from);
  down_gif_->SetTarget(target);
  down_gif_->FlyTo(from);
}

void CMainFrame::OnTasksStarted() {
  if (!show_tasks_once_started_) return;
  show_tasks_once_started_ = false;
  if (!auto_task_->IsVisible()) ShowTaskWindow();
}

void CMainFrame::ShowTaskWindow() {
  if (!autotask_btn_) return;
  const POINT at = ControlScreenTopLeft(autotask_btn_, m_hWnd);
  auto_task_->ShowAt(static_cast<int>(at.x), static_cast<int>(at.y), CaptionBottomOnScreen());
}

// Without room above the task button, the task window opens below the caption band.
int CMainFrame::CaptionBottomOnScreen() const {
  POINT caption_bottom = MakePoint(0, m_PaintManager.GetCaptionRect().bottom);
  ClientToScreen(m_hWnd, &caption_bottom);
  return static_cast<int>(caption_bottom.y);
}

void CMainFrame::OnSearchSuggestions() {
  {
    std::lock_guard<std::mutex> hold(offered_lock_);
    suggestions_ = offered_;
  }
  if (!search_edit_ || !search_menu_->IsCreated()) return;
  search_menu_->Clear();
  for (const std::u16string& s : suggestions_) search_menu_->AddItem(s);
  search_menu_->EndUpdate();
  RECT rc = search_edit_->GetPos();
  POINT pt = MakePoint(rc.left, rc.bottom);
  ClientToScreen(m_hWnd, &pt);
  search_menu_->Popup(search_edit_, pt.x, pt.y);
}

// ---------------- close rule and tray ----------------

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
  if (lParam != 0) {
    bHandled = false;  // closes for good
    return 0;
  }
  bHandled = true;
  if (CConfigMgr::Instance()->GetCloseType() != 0) {
    QuitForGood();
  } else {
    PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, kMinimizeToTray);
  }
  return 0;
}

LRESULT CMainFrame::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
  // Whatever path closed the window (the quit request included), the tray
  // icon goes with it.
  RemoveTrayIcon();
  SetOfferTarget(0);
  bHandled = false;
  return 0;
}

void CMainFrame::OnFinalMessage(HWND hWnd) {
  WindowImplBaseNew::OnFinalMessage(hWnd);
  PostQuitMessage(0);
}

LRESULT CMainFrame::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  bool was_zoomed = IsZoomed(m_hWnd);
  LRESULT r = DefWindowProc(uMsg, wParam, lParam);
  bHandled = true;
  UINT command = static_cast<UINT>(wParam & 0xFFF0);
  if (command != SC_CLOSE && was_zoomed != IsZoomed(m_hWnd)) {
    bool zoomed = IsZoomed(m_hWnd);
    if (auto* tab = Find<CTabLayoutUI>(m_PaintManager, u"tabesize", u"TabLayout")) tab->SelectItem(zoomed ? 1 : 0);
    if (CControlUI* max = m_PaintManager.FindControl(u"max_btn")) max->SetVisible(!zoomed);
    if (CControlUI* restore = m_PaintManager.FindControl(u"restore_btn")) restore->SetVisible(zoomed);
  } else if (command == SC_MINIMIZE && lParam == kMinimizeToTray) {
    AddTrayIcon();
    if (!g_tray_shown || g_tray_shown()) DuiLib::ShowWindow(m_hWnd, SW_HIDE);
  }
  return r;
}

void CMainFrame::AddTrayIcon() {
  TTrayIcon icon;
  icon.hWnd = m_hWnd;
  icon.uID = kTrayIconId;
  icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon.uCallbackMessage = msg::kTrayIcon;
  icon.sTip = CDuiString(kTrayTip).Left(127);
  icon.sIcon = u"png/tray_icon.png";
  tray_added_ = Shell_NotifyIcon(NIM_ADD, icon) || tray_added_;
}

void CMainFrame::RemoveTrayIcon() {
  if (!tray_added_) return;
  TTrayIcon icon;
  icon.hWnd = m_hWnd;
  icon.uID = kTrayIconId;
  Shell_NotifyIcon(NIM_DELETE, icon);
  tray_added_ = false;
}

LRESULT CMainFrame::OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (search_menu_->IsVisible()) {
    DuiLib::PostMessage(search_menu_->GetHWND(), uMsg, wParam, lParam);
    bHandled = true;
    return 0;
  }
  bHandled = false;
  return 0;
}

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
  if (wParam == kConnectTimer) {
    OnConnectTimer();
    bHandled = true;
    return 0;
  }
  bHandled = false;
  return 0;
}

// ---------------- notifications ----------------

void CMainFrame::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"search_btn")) {
    std::u16string text = SearchText();
    if (!text.empty()) {
      CountAction(28);
      SearchStore(text);
    }
  } else if (int id = frame_stats::ClickActionId(name.str())) {
    CountAction(id);
    if (Is(name, u"close_btn")) {
      PostMessage(WM_CLOSE, 0, 0);
    } else if (Is(name, u"min_btn")) {
      PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (Is(name, u"max_btn")) {
      PostMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (Is(name, u"restore_btn")) {
      PostMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    } else if (Is(name, u"option_btn")) {
      ShowMainMenu(m_hWnd, false);
    } else if (Is(name, u"feedback_btn")) {
      dialogs::ShowFeedback(m_hWnd);
    } else if (Is(name, u"autotask_btn")) {
      if (!FrameBackend()->TasksStarted()) show_tasks_once_started_ = true;
      else auto_task_->Toggle(ControlScreenTopLeft(msg.pSender, m_hWnd), CaptionBottomOnScreen());
    } else if (Is(name, u"app_btn") || Is(name, u"app_shortcut_btn")) {
      SelectOption(myapp_optn_);
    } else if (Is(name, u"contact_btn")) {
      SelectOption(contact_optn_);
    } else if (Is(name, u"sms_btn")) {
      SelectOption(sms_optn_);
    } else if (Is(name, u"pic_btn")) {
      SelectOption(pic_optn_);
    } else if (Is(name, u"music_btn")) {
      SelectOption(music_optn_);
    } else if (Is(name, u"video_btn")) {
      SelectOption(video_optn_);
    } else if (Is(name, u"app_goto_appmark")) {
      SelectOption(market_index_optn_);
    } else if (Is(name, u"conn_phone_btn")) {
      FrameBackend()->ReConnect(true);
    }
  }
  phone_info_->OnClick(msg);
  phone_app_->OnClick(msg);
  contact_->OnClick(msg);
  sms_->OnClick(msg);
  picture_->OnClick(msg);
  // The toolbar acts on the store page that shows.
  if (int page = SelectedStorePage(); page >= 0) browsers_[page]->OnClick(msg);
  music_->OnClick(msg);
  video_->OnClick(msg);
}

void CMainFrame::SelectOption(CControlUI* option) {
  if (auto* opt = option ? static_cast<COptionUI*>(option->GetInterface(u"Option")) : nullptr) opt->Selected(true);
}

bool CMainFrame::IsStoreHomeSelected() const { return market_index_optn_ && market_index_optn_->IsSelected(); }

void CMainFrame::SelectChangedNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  for (const PhoneOption& o : kPhoneOptions) {
    if (!Is(name, o.option)) continue;
    if (o.needs_phone && !FrameBackend()->IsPhoneConnected()) {
      if (tab_phone_) tab_phone_->SelectItem(0);
      return;
    }
    CountAction(o.stat_id);
    if (tab_mainpage_) tab_mainpage_->SelectItem(0);
    if (tab_phone_) tab_phone_->SelectItem(o.tab_item);
    ShowPhonePage(o.option);
    return;
  }
  for (const StoreOption& o : kStoreOptions) {
    if (!Is(name, o.option)) continue;
    CountAction(o.stat_id);
    if (tab_mainpage_) tab_mainpage_->SelectItem(1);
    if (tab_web_market_) tab_web_market_->SelectItem(o.page);
    if (browsers_[o.page]->GetReload()) browsers_[o.page]->GoHomePage();
    return;
  }
}

void CMainFrame::ShowPhonePage(LPCTSTR option) {
  CDuiString name(option);
  if (Is(name, u"myphone_optn")) phone_info_->Show();
  else if (Is(name, u"myapp_optn")) phone_app_->Show();
  else if (Is(name, u"contact_optn")) contact_->Show();
  else if (Is(name, u"sms_optn")) sms_->Show();
  else if (Is(name, u"pic_optn")) picture_->Show();
  else if (Is(name, u"music_optn")) music_->Show();
  else if (Is(name, u"video_optn")) video_->Show();
}

void CMainFrame::ItemClickNotify(TNotifyUI& msg) {
  contact_->OnItemClick(msg);
  picture_->OnItemClick(msg);
}

void CMainFrame::ItemSelectNotify(TNotifyUI& msg) {
  contact_->OnItemSelect(msg);
  sms_->OnItemSelect(msg);
}

void CMainFrame::OtherNotify(TNotifyUI& msg) {
  const CDuiString& type = msg.sType;
  CDuiString sender = msg.pSender ? msg.pSender->GetName() : CDuiString();
  if (Is(type, DUI_MSGTYPE_SCROLL)) {
    if (Is(sender, u"contactlist")) {
      PD_LOG_TRACE("OnScrollContact");
      contact_->OnScroll(msg);
    } else if (Is(sender, u"picsub_list")) {
      PD_LOG_TRACE("OnScrollPicture");
      picture_->OnScroll(msg);
    }
  } else if (Is(type, DUI_MSGTYPE_ITEMDBCLICK)) {
    PD_LOG_TRACE("DUI_MSGTYPE_ITEMDBCLICK");
    picture_->OnItemDoubleClick(msg);
  } else if (Is(type, u"searchcontactitem_click")) {
    // The contact search popup hands the chosen id as decimal text.
    const char16_t* text = reinterpret_cast<const char16_t*>(msg.lParam);
    contact_->OnSearchItem(text ? static_cast<unsigned long>(ParseInt(text)) : 0);
  } else if (Is(type, u"searchitem_click")) {
    // The popup hands the item's number and its text.
    const char16_t* text = reinterpret_cast<const char16_t*>(msg.lParam);
    if (search_edit_ && text) TakeSuggestion(text);
    std::u16string keyword = SearchText();
    if (!keyword.empty()) {
      CountAction(28);
      SearchStore(keyword);
    }
  } else if (Is(type, DUI_MSGTYPE_VK_UP) || Is(type, DUI_MSGTYPE_VK_DOWN)) {
    if (msg.pSender == search_edit_ && search_menu_->IsCreated() && search_menu_->IsVisible())
      search_menu_->MoveHot(Is(type, DUI_MSGTYPE_VK_UP));
  }
}

// ---------------- store search box ----------------

std::u16string CMainFrame::SearchText() const {
  if (!search_edit_) return std::u16string();
  std::u16string text = search_edit_->GetText().str();
  return text == kSearchPlaceholder ? std::u16string() : text;
}

// The search runs in the store home page, which is brought forward: a
// search left in a hidden page (or not run while the store home shows)
// would answer the user with nothing.
void CMainFrame::SearchStore(const std::u16string& keyword) {
  if (!IsStoreHomeSelected()) SelectOption(market_index_optn_);
  browsers_[kStoreIndex]->Search(keyword.c_str());
}

int CMainFrame::SelectedStorePage() const {
  const COptionUI* options[] = {market_index_optn_, market_choice_optn_, market_class_optn_, market_ranking_optn_};
  for (int i = 0; i < 4; ++i)
    if (options[i] && options[i]->IsSelected()) return i;
  return -1;
}

void CMainFrame::SetFocusNotify(TNotifyUI& msg) {
  if (!search_edit_ || msg.pSender != search_edit_) return;
  if (!search_menu_->IsCreated()) search_menu_->Create(m_hWnd);
  if (search_edit_->GetText() == kSearchPlaceholder) {
    search_edit_->SetTextColor(0xFF000000);  // black
    search_edit_->SetText(u"");
  }
}

void CMainFrame::KillFocusNotify(TNotifyUI& msg) {
  if (!search_edit_ || msg.pSender != search_edit_) return;
  search_menu_->Hide();
  if (search_edit_->GetText().IsEmpty()) {
    search_edit_->SetText(kSearchPlaceholder);
    search_edit_->SetTextColor(0xFF888888);  // the placeholder grey
  }
}

void CMainFrame::TextChangedNotify(TNotifyUI& msg) {
  contact_->OnTextChanged(msg);
  if (!search_edit_ || msg.pSender != search_edit_) return;
  if (suggestion_chosen_) {
    suggestion_chosen_ = false;
    return;
  }
  std::u16string text = search_edit_->GetText().str();
  if (text != kSearchPlaceholder) app_search_->Search(text);
}

// The text change of taking a suggestion asks for no completions.
void CMainFrame::TakeSuggestion(const char16_t* text) {
  suggestion_chosen_ = true;
  search_edit_->SetText(text);
  // The edit reports only the user's own changes: nothing else clears the flag.
  suggestion_chosen_ = false;
}

void CMainFrame::ReturnNotify(TNotifyUI& msg) {
  contact_->OnReturn(msg);
  if (!search_edit_ || msg.pSender != search_edit_) return;
  if (search_menu_->IsVisible()) {
    std::u16string chosen = search_menu_->GetHotText();
    if (!chosen.empty()) TakeSuggestion(chosen.c_str());
  }
  search_menu_->Hide();
  std::u16string keyword = SearchText();
  if (!keyword.empty()) SearchStore(keyword);
}
