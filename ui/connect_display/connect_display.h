// CConnectDisplay: the connection area of the main window. It follows the
// connection states of message 1227 (lParam = state 0-20) and the main
// window's timer 10: the connect view with its progress bar and animations
// while connecting, the failure reason when an attempt fails, the phone view
// once connected, and one of the three side windows (USB-debugging help,
// driver progress, connection lost).
//
// The main window owns the display, the side windows and the page
// controllers; it hands 1227 to OnConnectState and timer 10 to
// OnConnectTimer. Missing controls are skipped.
//
// Threading: UI thread only.
#pragma once

#include "qenui/UIlib.h"

class CAdbTipsWnd;
class CDrvProgressWnd;
class COfflineTipsWnd;

// What the display needs of the main window beyond its controls.
class IConnectDisplayOwner {
 public:
  virtual ~IConnectDisplayOwner() = default;
  // The connection succeeded: create the phone front object.
  virtual void CreatePhone() = 0;
  // The page controller of "tab_phone" item `item` (1 apps, 2 contacts,
  // 3 SMS, 4 pictures, 5 music, 6 video) shows itself.
  virtual void ShowPhonePage(int item) = 0;
  // Every page controller clears its view (the phone is gone).
  virtual void ClearPages() = 0;
};

// The main window's side windows (owned by it; created here on first use).
struct ConnectSideWindows {
  CAdbTipsWnd* adb_tips = nullptr;
  CDrvProgressWnd* drv_progress = nullptr;
  COfflineTipsWnd* offline_tips = nullptr;
};

class CConnectDisplay {
 public:
  static constexpr DuiLib::UINT kConnectTimer = 10;
  static constexpr DuiLib::UINT kConnectElapse = 300;
  static constexpr int kLastStep = 6;
  enum Popup { kPopupAdbTips = 0, kPopupDrvProgress = 1, kPopupOffline = 2, kPopupNone = 3 };

  // `hwnd` is the main window (parent of the side windows, owner of timer 10).
  CConnectDisplay(DuiLib::CPaintManagerUI* pm, DuiLib::HWND hwnd, IConnectDisplayOwner* owner,
                  ConnectSideWindows windows);

  // Looks the controls up; once the main window's layout exists.
  void Init();

  // Message 1227.
  void OnConnectState(int state);
  // Timer 10 (every 300 ms while connecting).
  void OnConnectTimer();

  // Building blocks the main window also uses (start, agent link failure).
  void SetConnecting(bool on);
  void SetConnected(bool yes);

  int ProgressStep() const { return step_; }
  bool IsConnectTimerRunning() const { return timer_running_; }

 private:
  void SetProgressStep(int step);
  void ShowFailure(int state);
  void ShowPopup(Popup which);
  void PhoneTabHome();
  bool IsStoreHomeSelected() const;
  void StartConnectTimer();
  void StopConnectTimer();
  void ReopenSelectedPage();
  void OnConnected();

  template <typename T>
  T* Find(const char16_t* name, const char16_t* iface) const;

  DuiLib::CPaintManagerUI* pm_;
  DuiLib::HWND hwnd_;
  IConnectDisplayOwner* owner_;
  ConnectSideWindows windows_;

  DuiLib::CTabLayoutUI* tab_phone_ = nullptr;
  DuiLib::CTabLayoutUI* tab_connect_pages_ = nullptr;
  DuiLib::CTabLayoutUI* tab_connect_status_ = nullptr;
  DuiLib::CTabLayoutUI* tab_connecting_status_ = nullptr;
  DuiLib::CLabelUI* lbl_connect_ = nullptr;
  DuiLib::CLabelUI* lbl_conn_failed_reason_ = nullptr;
  DuiLib::CControlUI* phones_btn_ = nullptr;
  DuiLib::CAnimationUI* nodevices_animation_ = nullptr;
  DuiLib::CAnimationUI* connecting_animation_ = nullptr;
  DuiLib::CProgressUI* connect_progress_ = nullptr;
  DuiLib::COptionUI* market_index_optn_ = nullptr;
  DuiLib::COptionUI* myphone_optn_ = nullptr;
  DuiLib::COptionUI* page_options_[6] = {};  // apps, contacts, SMS, pictures, music, video

  int step_ = 0;
  bool timer_running_ = false;
};
