// The connection area of the main window: how the window follows the
// connection states of message 1227 and its connect progress timer.
#include <algorithm>

#include "app/core/message_ids.h"
#include "foundation/base/log.h"
#include "ui/frame/connect_states.h"
#include "ui/frame/frame_backend.h"
#include "ui/frame/main_frame.h"

using namespace DuiLib;

namespace {

constexpr int kMinBarAtStep[] = {0, 10, 25, 50, 60, 90};
constexpr int kLastStep = 6;

enum Popup { kPopupAdbTips = 0, kPopupDrvProgress = 1, kPopupOffline = 2, kPopupNone = 3 };

}  // namespace

void CMainFrame::SetConnecting(bool on) {
  if (on) {
    if (tab_connecting_status_) tab_connecting_status_->SelectItem(0);
    if (tab_connect_status_) tab_connect_status_->SelectItem(1);
    if (lbl_connect_) lbl_connect_->SetText(u"连接手机中...");
    SetTimer(m_hWnd, kConnectTimer, kConnectTimerElapse);
  } else {
    if (tab_connect_status_) tab_connect_status_->SelectItem(0);
    KillTimer(m_hWnd, kConnectTimer);
  }
}

void CMainFrame::SetConnected(bool yes) {
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

void CMainFrame::SetProgressStep(int step) {
  connect_step_ = step;
  if (!connect_progress_) return;
  if (step == 0) {
    connect_progress_->SetValue(0);
  } else if (step >= 1 && step <= 5) {
    connect_progress_->SetValue(std::max(connect_progress_->GetValue(), kMinBarAtStep[step]));
  }
}

void CMainFrame::OnConnectTimer() {
  if (!connect_progress_) return;
  int v = connect_progress_->GetValue();
  if (v >= 100) {
    ShowPopup(kPopupNone);
    SetConnected(true);
    KillTimer(m_hWnd, kConnectTimer);
    return;
  }
  if (connect_step_ != kLastStep && v > (connect_step_ + 1) * 100 / 6) return;
  connect_progress_->SetValue(v + 8);
}

void CMainFrame::PhoneTabHome() {
  if (tab_phone_ && !IsStoreHomeSelected()) tab_phone_->SelectItem(0);
}

void CMainFrame::ShowFailure(int state) {
  if (tab_connecting_status_) tab_connecting_status_->SelectItem(1);
  KillTimer(m_hWnd, kConnectTimer);
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

void CMainFrame::ShowPopup(int which) {
  CSideWindowStub* popups[3] = {adb_tips_.get(), drv_progress_.get(), offline_tips_.get()};
  for (int i = 0; i < 3; ++i) {
    if (i == which) {
      if (!popups[i]->IsCreated()) popups[i]->Create(m_hWnd);
      popups[i]->Show();
    } else {
      popups[i]->Hide();
    }
  }
}

void CMainFrame::ReopenSelectedPage() {
  struct Page {
    COptionUI* option;
    int item;
    CPageStub* page;
  };
  const Page pages[] = {
      {myapp_optn_, 1, phone_app_.get()}, {contact_optn_, 2, contact_.get()}, {sms_optn_, 3, sms_.get()},
      {pic_optn_, 4, picture_.get()},     {music_optn_, 5, music_.get()},     {video_optn_, 6, video_.get()},
  };
  for (const Page& p : pages) {
    if (p.option && p.option->IsSelected()) {
      p.page->Show();
      if (tab_phone_) tab_phone_->SelectItem(p.item);
      return;
    }
  }
  if (myphone_optn_ && myphone_optn_->IsSelected() && tab_phone_) tab_phone_->SelectItem(0);
}

void CMainFrame::ClearPages() {
  phone_info_->Clear();
  phone_app_->Clear();
  contact_->Clear();
  sms_->Clear();
  picture_->Clear();
  music_->Clear();
  video_->Clear();
}

void CMainFrame::OnConnectState(int state) {
  PD_LOG_INFO("ConectStatus:%s Notify", ConnStateName(state));
  switch (state) {
    case kConn_Start:
      PhoneTabHome();
      SetConnecting(true);
      SetProgressStep(0);
      break;
    case kConn_CheckAndroidMode: SetProgressStep(1); break;
    case kConn_Phone_Open_debug:
      KillTimer(m_hWnd, kConnectTimer);
      SetConnected(false);
      ShowPopup(kPopupAdbTips);
      PhoneTabHome();
      break;
    case kConn_CheckAdbMode: SetProgressStep(2); break;
    case kConn_Phone_offline:
      KillTimer(m_hWnd, kConnectTimer);
      SetConnected(false);
      ShowPopup(kPopupOffline);
      PhoneTabHome();
      break;
    case kConn_InstallPhoneApk: SetProgressStep(3); break;
    case kConn_InstallFailed:
      SetConnected(false);
      ShowFailure(state);
      break;
    case kConn_Start_PhoneServer: SetProgressStep(4); break;
    case kConn_DownloadDrv:
      KillTimer(m_hWnd, kConnectTimer);
      ShowPopup(kPopupDrvProgress);
      drv_progress_->OnConnectState(state);
      break;
    case kConn_DownloadDrv_failed:
      KillTimer(m_hWnd, kConnectTimer);
      ShowPopup(kPopupNone);
      ShowFailure(state);
      break;
    case kConn_SetupDrv:
      drv_progress_->OnConnectState(state);
      KillTimer(m_hWnd, kConnectTimer);
      break;
    case kConn_SetupDrv_end:
      drv_progress_->OnConnectState(state);
      KillTimer(m_hWnd, kConnectTimer);
      ShowPopup(kPopupNone);
      SetConnected(true);
      break;
    case kConn_SetupDrv_failed:
      drv_progress_->OnConnectState(state);
      KillTimer(m_hWnd, kConnectTimer);
      ShowPopup(kPopupNone);
      ShowFailure(state);
      break;
    case kConn_Socket_failed:
    case kConn_Failed:
      SetConnected(false);
      ShowFailure(state);
      break;
    case kConn_Sucess:
      SetProgressStep(5);
      FrameBackend()->CreatePhone();
      if (!IsHungAppWindow(m_hWnd)) {
        PostMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        PostMessage(msg::kBringToFront, 0, 0);
        BringWindowToTop(m_hWnd);
      }
      SetProgressStep(kLastStep);
      ReopenSelectedPage();
      break;
    case kConn_Cancel: ShowFailure(state); break;
    case kConn_Phone_Remove:
      PhoneTabHome();
      SetConnecting(false);
      SetConnected(false);
      ShowPopup(kPopupNone);
      ClearPages();
      break;
    default:  // kConn_ReStart, kConn_CheckPhoneServer, kConn_none and unknown numbers
      break;
  }
}
