#include "ui/connect_display/connect_display.h"

#include <algorithm>

#include "app/connect/connect_state.h"
#include "app/core/message_ids.h"
#include "foundation/base/log.h"
#include "ui/small_windows/adb_tips_wnd.h"
#include "ui/small_windows/drv_progress_wnd.h"
#include "ui/small_windows/offline_tips_wnd.h"

using namespace DuiLib;

namespace {

// The bar's floor at progress steps 1-5.
constexpr int kFloorAtStep[] = {0, 10, 25, 50, 60, 90};
constexpr int kCreep = 8;

// Page options in the order a page is reopened after a connection, with
// their "tab_phone" items.
constexpr const char16_t* kPageOptions[6] = {u"myapp_optn", u"contact_optn", u"sms_optn",
                                             u"pic_optn",   u"music_optn",   u"video_optn"};

}  // namespace

CConnectDisplay::CConnectDisplay(CPaintManagerUI* pm, HWND hwnd, IConnectDisplayOwner* owner,
                                 ConnectSideWindows windows)
    : pm_(pm), hwnd_(hwnd), owner_(owner), windows_(windows) {}

template <typename T>
T* CConnectDisplay::Find(const char16_t* name, const char16_t* iface) const {
  CControlUI* c = pm_ ? pm_->FindControl(name) : nullptr;
  return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
}

void CConnectDisplay::Init() {
  tab_phone_ = Find<CTabLayoutUI>(u"tab_phone", u"TabLayout");
  tab_connect_pages_ = Find<CTabLayoutUI>(u"tab_connect_pages", u"TabLayout");
  tab_connect_status_ = Find<CTabLayoutUI>(u"tab_connect_status", u"TabLayout");
  tab_connecting_status_ = Find<CTabLayoutUI>(u"tab_connecting_status", u"TabLayout");
  lbl_connect_ = Find<CLabelUI>(u"lbl_connect", u"Label");
  lbl_conn_failed_reason_ = Find<CLabelUI>(u"lbl_conn_failed_reason", u"Label");
  phones_btn_ = pm_ ? pm_->FindControl(u"phones_btn") : nullptr;
  nodevices_animation_ = Find<CAnimationUI>(u"nodevices_animation", u"Animation");
  connecting_animation_ = Find<CAnimationUI>(u"connecting_animation", u"Animation");
  connect_progress_ = Find<CProgressUI>(u"connect_progress", u"Progress");
  market_index_optn_ = Find<COptionUI>(u"market_index_optn", u"Option");
  myphone_optn_ = Find<COptionUI>(u"myphone_optn", u"Option");
  for (int i = 0; i < 6; ++i) page_options_[i] = Find<COptionUI>(kPageOptions[i], u"Option");
}

// ---------------- building blocks ----------------

void CConnectDisplay::StartConnectTimer() {
  timer_running_ = SetTimer(hwnd_, kConnectTimer, kConnectElapse) != 0;
}

void CConnectDisplay::StopConnectTimer() {
  KillTimer(hwnd_, kConnectTimer);
  timer_running_ = false;
}

void CConnectDisplay::SetConnecting(bool on) {
  if (on) {
    if (tab_connecting_status_) tab_connecting_status_->SelectItem(0);
    if (tab_connect_status_) tab_connect_status_->SelectItem(1);
    if (lbl_connect_) lbl_connect_->SetText(u"连接手机中...");
    StartConnectTimer();
  } else {
    if (tab_connect_status_) tab_connect_status_->SelectItem(0);
    StopConnectTimer();
  }
}

void CConnectDisplay::SetConnected(bool yes) {
  if (yes) {
    SetConnecting(false);
    if (lbl_connect_) lbl_connect_->SetText(u"已连接手机");
    if (phones_btn_) phones_btn_->SetEnabled(true);
    if (tab_connect_pages_) tab_connect_pages_->SelectItem(1);
    if (nodevices_animation_) nodevices_animation_->StopAnimation();
    if (connecting_animation_) connecting_animation_->StopAnimation();
  } else {
    if (lbl_connect_) lbl_connect_->SetText(u"请连接手机");
    if (phones_btn_) phones_btn_->SetEnabled(false);
    if (tab_connect_pages_) tab_connect_pages_->SelectItem(0);
    if (nodevices_animation_) nodevices_animation_->StartAnimation(100);
  }
}

void CConnectDisplay::SetProgressStep(int step) {
  step_ = step;
  if (!connect_progress_) return;
  if (step == 0) {
    connect_progress_->SetValue(0);
  } else if (step >= 1 && step <= 5) {
    connect_progress_->SetValue(std::max(connect_progress_->GetValue(), kFloorAtStep[step]));
  }
}

void CConnectDisplay::OnConnectTimer() {
  if (!connect_progress_) return;
  const int v = connect_progress_->GetValue();
  // Each step creeps up to a little past its share of the bar, and waits there
  // for the next step; the last step runs on to the end.
  if (step_ != kLastStep && v > (step_ + 1) * 100 / 6) return;
  connect_progress_->SetValue(v + kCreep);
  if (v >= 100) {
    ShowPopup(kPopupNone);
    SetConnected(true);
    StopConnectTimer();
  }
}

bool CConnectDisplay::IsStoreHomeSelected() const { return market_index_optn_ && market_index_optn_->IsSelected(); }

void CConnectDisplay::PhoneTabHome() {
  if (tab_phone_ && !IsStoreHomeSelected()) tab_phone_->SelectItem(0);
}

void CConnectDisplay::ShowFailure(int state) {
  if (tab_connecting_status_) tab_connecting_status_->SelectItem(1);
  StopConnectTimer();
  PhoneTabHome();
  const char16_t* reason = nullptr;
  switch (state) {
    case kConn_InstallFailed: reason = u"安装Andriod助手失败"; break;
    case kConn_DownloadDrv_failed: reason = u"下载驱动失败"; break;
    case kConn_SetupDrv_failed: reason = u"安装驱动失败"; break;
    case kConn_Socket_failed: reason = u"与手机通讯失败"; break;
    case kConn_Failed: reason = u"连接手机失败"; break;
    case kConn_Cancel: reason = u"请尝试重新连接手机"; break;
    default: break;
  }
  if (reason && lbl_conn_failed_reason_) lbl_conn_failed_reason_->SetText(reason);
}

void CConnectDisplay::ShowPopup(Popup which) {
  CSideWindow* popups[3] = {windows_.adb_tips, windows_.drv_progress, windows_.offline_tips};
  for (int i = 0; i < 3; ++i) {
    CSideWindow* w = popups[i];
    if (!w) continue;
    if (i == which) {
      if (!w->IsCreated() && !w->Create(hwnd_)) {
        PD_LOG_ERROR("cannot create the side window %d", i);
        continue;
      }
      w->Show();
    } else {
      w->Hide();
    }
  }
}

void CConnectDisplay::ReopenSelectedPage() {
  for (int i = 0; i < 6; ++i) {
    if (page_options_[i] && page_options_[i]->IsSelected()) {
      if (owner_) owner_->ShowPhonePage(i + 1);
      if (tab_phone_) tab_phone_->SelectItem(i + 1);
      return;
    }
  }
  if (myphone_optn_ && myphone_optn_->IsSelected() && tab_phone_) tab_phone_->SelectItem(0);
}

void CConnectDisplay::OnConnected() {
  SetProgressStep(5);
  if (owner_) owner_->CreatePhone();
  if (!IsHungAppWindow(hwnd_)) {
    PostMessage(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
    PostMessage(hwnd_, msg::kBringToFront, 0, 0);
    BringWindowToTop(hwnd_);
  }
  SetProgressStep(kLastStep);
  ReopenSelectedPage();
}

// ---------------- the states ----------------

void CConnectDisplay::OnConnectState(int state) {
  PD_LOG_INFO("ConectStatus:%s Notify", ConnStateName(state));
  switch (state) {
    case kConn_Start:
      PhoneTabHome();
      SetConnecting(true);
      SetProgressStep(0);
      break;
    case kConn_CheckAndroidMode:
      SetProgressStep(1);
      break;
    case kConn_Phone_Open_debug:
      StopConnectTimer();
      SetConnected(false);
      ShowPopup(kPopupAdbTips);
      PhoneTabHome();
      break;
    case kConn_CheckAdbMode:
      SetProgressStep(2);
      break;
    case kConn_Phone_offline:
      StopConnectTimer();
      SetConnected(false);
      ShowPopup(kPopupOffline);
      PhoneTabHome();
      break;
    case kConn_InstallPhoneApk:
      SetProgressStep(3);
      break;
    case kConn_InstallFailed:
    case kConn_Socket_failed:
    case kConn_Failed:
      SetConnected(false);
      ShowFailure(state);
      break;
    case kConn_Start_PhoneServer:
      SetProgressStep(4);
      break;
    case kConn_DownloadDrv:
      StopConnectTimer();
      ShowPopup(kPopupDrvProgress);
      if (windows_.drv_progress) windows_.drv_progress->OnConnectState(state);
      break;
    case kConn_DownloadDrv_failed:
      StopConnectTimer();
      ShowPopup(kPopupNone);
      ShowFailure(state);
      break;
    case kConn_SetupDrv:
      if (windows_.drv_progress) windows_.drv_progress->OnConnectState(state);
      StopConnectTimer();
      break;
    case kConn_SetupDrv_end:
      if (windows_.drv_progress) windows_.drv_progress->OnConnectState(state);
      StopConnectTimer();
      ShowPopup(kPopupNone);
      SetConnected(true);
      break;
    case kConn_SetupDrv_failed:
      if (windows_.drv_progress) windows_.drv_progress->OnConnectState(state);
      StopConnectTimer();
      ShowPopup(kPopupNone);
      ShowFailure(state);
      break;
    case kConn_Sucess:
      OnConnected();
      break;
    case kConn_Cancel:
      ShowFailure(state);
      break;
    case kConn_Phone_Remove:
      PhoneTabHome();
      SetConnecting(false);
      SetConnected(false);
      ShowPopup(kPopupNone);
      if (owner_) owner_->ClearPages();
      break;
    default:  // kConn_ReStart, kConn_CheckPhoneServer, kConn_none and unknown numbers: only the log
      break;
  }
}
