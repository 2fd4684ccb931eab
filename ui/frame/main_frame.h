// CMainFrame: the program's one top-level window. It loads the main layout,
// owns every page controller and popup, keeps the connection area in step
// with the connection state, runs the tray icon, the store search box and
// the close rule, and routes the window's own messages (message_ids.h):
// those it handles itself first, then each page controller in a fixed order
// until one takes the message, then the library's default handling.
//
// Threading: UI thread only. Workers reach it only by posting messages.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/web/app_suggestion.h"
#include "qenui/UIlib.h"
#include "ui/connect_display/connect_display.h"
#include "ui/pages/auto_task_dlg.h"
#include "ui/pages/contact_dlg.h"
#include "ui/pages/music_dlg.h"
#include "ui/pages/phone_app_dlg.h"
#include "ui/pages/phone_info_dlg.h"
#include "ui/pages/picture_dlg.h"
#include "ui/pages/search_menu.h"
#include "ui/pages/side_windows.h"
#include "ui/pages/sms_dlg.h"
#include "ui/pages/video_dlg.h"
#include "ui/pages/web_browser_dlg.h"

class CMainFrame : public DuiLib::WindowImplBaseNew {
 public:
  static constexpr DuiLib::UINT kTrayIconId = 107;
  static constexpr DuiLib::UINT kConnectTimer = 10;
  static constexpr DuiLib::UINT kConnectTimerElapse = 300;
  static constexpr int kStoreIndex = 0;  // browser page of the store home

  CMainFrame();
  ~CMainFrame() override;

  DuiLib::CPaintManagerUI& PaintManager() { return m_PaintManager; }

  // The page controllers and windows (tests and popups reach them here).
  CPhoneInfoDlg& PhoneInfo() { return *phone_info_; }
  CPhoneAppDlg& PhoneApp() { return *phone_app_; }
  CContactDlg& Contact() { return *contact_; }
  CSmsDlg& Sms() { return *sms_; }
  CPictureDlg& Picture() { return *picture_; }
  CMusicDlg& Music() { return *music_; }
  CVideoDlg& Video() { return *video_; }
  CAutoTaskDlg& AutoTask() { return *auto_task_; }
  CWebBrowserDlg& Browser(int index) { return *browsers_[index]; }
  CSearchMenu& SearchMenu() { return *search_menu_; }
  CAdbTipsWnd& AdbTips() { return *adb_tips_; }
  COfflineTipsWnd& OfflineTips() { return *offline_tips_; }
  CDrvProgressWnd& DrvProgress() { return *drv_progress_; }
  CDownGifWnd& DownGif() { return *down_gif_; }
  CAppSearchThread& AppSearch() { return *app_search_; }
  std::vector<std::u16string>& Suggestions() { return suggestions_; }
  // What the completion worker hands over (any thread): a copy of its names,
  // taken by the window when 1289 arrives.
  void OfferSuggestions(std::vector<std::u16string> names);
  int ConnectStep() const { return connect_display_ ? connect_display_->ProgressStep() : 0; }
  bool HasTrayIcon() const { return tray_added_; }

  // Called once, after the window's first paint (start-up timing, screenshots).
  void SetFirstPaintHook(std::function<void()> hook) { first_paint_hook_ = std::move(hook); }

  // Whether the desktop shows tray icons (a back end without a notification
  // area answers false; then closing to the tray only minimises, so the
  // window can still be reached). Unset means it does.
  static void SetTrayShownQuery(std::function<bool()> query);

  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"Shelfhub"; }
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam) override;
  void OnFinalMessage(DuiLib::HWND hWnd) override;
  void InitAfterCreate() override;
  DuiLib::LRESULT OnClose(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;
  DuiLib::LRESULT OnDestroy(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;
  DuiLib::LRESULT OnTimer(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;
  DuiLib::LRESULT OnMouseWheel(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                               bool& bHandled) override;
  DuiLib::LRESULT OnSysCommand(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                               bool& bHandled) override;
  DuiLib::LRESULT HandleCustomMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                      bool& bHandled) override;
  void KillFocusNotify(DuiLib::TNotifyUI& msg) override;
  void SetFocusNotify(DuiLib::TNotifyUI& msg) override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  void SelectChangedNotify(DuiLib::TNotifyUI& msg) override;
  void TextChangedNotify(DuiLib::TNotifyUI& msg) override;
  void ItemSelectNotify(DuiLib::TNotifyUI& msg) override;
  void ItemClickNotify(DuiLib::TNotifyUI& msg) override;
  void ReturnNotify(DuiLib::TNotifyUI& msg) override;
  void OtherNotify(DuiLib::TNotifyUI& msg) override;

 private:
  // Own messages.
  bool HandleOwnMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, DuiLib::LRESULT* result);
  bool OfferToPages(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam);
  void OnAgentLinkFailed();
  void OnTrayIcon(DuiLib::LPARAM mouseMsg);
  void OnQuitRequest();
  void OnMenuCommand(DuiLib::WPARAM command);
  void OnDownloadAnimation();
  // The task manager's start has ended: a task window asked for meanwhile opens.
  void OnTasksStarted();
  void ShowTaskWindow();
  int CaptionBottomOnScreen() const;
  void OnSearchSuggestions();
  // The window the completion worker posts 1289 to (UI thread; 0 stops it).
  void SetOfferTarget(DuiLib::HWND hwnd);
  void QuitForGood();

  // Tray icon.
  void AddTrayIcon();
  void RemoveTrayIcon();

  // Page switching and the store search.
  void SelectOption(DuiLib::CControlUI* option);
  bool IsStoreHomeSelected() const;
  void ShowPhonePage(DuiLib::LPCTSTR option);
  void SearchStore(const std::u16string& keyword);
  int SelectedStorePage() const;  // the browser page of the selected store option, -1 for none
  std::u16string SearchText() const;
  void TakeSuggestion(const char16_t* text);

  // Connection display (connect_display.cpp hands it to CConnectDisplay).
  class DisplayOwner;
  void CreateConnectDisplay();
  void OnConnectState(int state);
  void SetConnecting(bool on);
  void SetConnected(bool yes);
  void OnConnectTimer();

  // Page controllers (construction order; destroyed in reverse).
  std::unique_ptr<CPhoneInfoDlg> phone_info_;
  std::unique_ptr<CWebBrowserDlg> browsers_[4];
  std::unique_ptr<CPhoneAppDlg> phone_app_;
  std::unique_ptr<CContactDlg> contact_;
  std::unique_ptr<CSmsDlg> sms_;
  std::unique_ptr<CPictureDlg> picture_;
  std::unique_ptr<CMusicDlg> music_;
  std::unique_ptr<CVideoDlg> video_;
  // Popups and small windows.
  std::unique_ptr<CSearchMenu> search_menu_;
  std::unique_ptr<CAdbTipsWnd> adb_tips_;
  std::unique_ptr<COfflineTipsWnd> offline_tips_;
  std::unique_ptr<CDrvProgressWnd> drv_progress_;
  std::unique_ptr<CAutoTaskDlg> auto_task_;
  std::unique_ptr<CDownGifWnd> down_gif_;
  std::vector<std::u16string> suggestions_;  // UI thread
  // Guards offered_ and offer_to_: the completion worker offers, the UI
  // thread takes the names and sets the window to tell (0 once it is going).
  std::mutex offered_lock_;
  std::vector<std::u16string> offered_;
  DuiLib::HWND offer_to_ = 0;
  std::unique_ptr<CAppSearchThread> app_search_;

  // Controls looked up once at start.
  DuiLib::COptionUI* myphone_optn_ = nullptr;
  DuiLib::COptionUI* myapp_optn_ = nullptr;
  DuiLib::COptionUI* contact_optn_ = nullptr;
  DuiLib::COptionUI* sms_optn_ = nullptr;
  DuiLib::COptionUI* pic_optn_ = nullptr;
  DuiLib::COptionUI* music_optn_ = nullptr;
  DuiLib::COptionUI* video_optn_ = nullptr;
  DuiLib::COptionUI* market_index_optn_ = nullptr;
  DuiLib::COptionUI* market_choice_optn_ = nullptr;
  DuiLib::COptionUI* market_ranking_optn_ = nullptr;
  DuiLib::COptionUI* market_class_optn_ = nullptr;
  DuiLib::CControlUI* autotask_btn_ = nullptr;
  DuiLib::CControlUI* task_doing_animation_ = nullptr;
  DuiLib::CTabLayoutUI* tab_mainpage_ = nullptr;
  DuiLib::CTabLayoutUI* tab_phone_ = nullptr;
  DuiLib::CTabLayoutUI* tab_web_market_ = nullptr;
  DuiLib::CTabLayoutUI* tab_connect_pages_ = nullptr;
  DuiLib::CTabLayoutUI* tab_connect_status_ = nullptr;
  DuiLib::CTabLayoutUI* tab_connecting_status_ = nullptr;
  DuiLib::CLabelUI* lbl_conn_failed_reason_ = nullptr;
  DuiLib::CLabelUI* lbl_connect_ = nullptr;
  DuiLib::CLabelUI* lbl_cnn_status_ = nullptr;
  DuiLib::CControlUI* phones_btn_ = nullptr;
  DuiLib::CAnimationUI* nodevices_animation_ = nullptr;
  DuiLib::CAnimationUI* connecting_animation_ = nullptr;
  DuiLib::CEditUI* search_edit_ = nullptr;
  DuiLib::CProgressUI* connect_progress_ = nullptr;

  bool suggestion_chosen_ = false;
  std::unique_ptr<IConnectDisplayOwner> display_owner_;
  std::unique_ptr<CConnectDisplay> connect_display_;
  bool tray_added_ = false;
  bool show_tasks_once_started_ = false;  // the task button was pressed during the task manager's start
  std::function<void()> first_paint_hook_;
};

// The one main window (null before it is constructed and after it is gone).
CMainFrame* GetMainFrame();

// The statistics ids of the main window's clicks and page options.
namespace frame_stats {
int ClickActionId(const std::u16string& control);   // 0 for controls without one
}
