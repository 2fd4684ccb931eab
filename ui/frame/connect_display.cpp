// The connection area of the main window: message 1227 and the connect
// progress timer go to CConnectDisplay, which reaches the phone side and the
// page controllers through this window.
#include "ui/connect_display/connect_display.h"
#include "ui/frame/frame_backend.h"
#include "ui/frame/main_frame.h"

using namespace DuiLib;

class CMainFrame::DisplayOwner : public IConnectDisplayOwner {
 public:
  explicit DisplayOwner(CMainFrame* frame) : frame_(frame) {}
  void CreatePhone() override { FrameBackend()->CreatePhone(); }
  void ShowPhonePage(int item) override {
    switch (item) {
      case 1: frame_->phone_app_->Show(); break;
      case 2: frame_->contact_->Show(); break;
      case 3: frame_->sms_->Show(); break;
      case 4: frame_->picture_->Show(); break;
      case 5: frame_->music_->Show(); break;
      case 6: frame_->video_->Show(); break;
      default: break;
    }
  }
  void ClearPages() override {
    frame_->phone_info_->Clear();
    frame_->phone_app_->Clear();
    frame_->contact_->Clear();
    frame_->sms_->Clear();
    frame_->picture_->Clear();
    frame_->music_->Clear();
    frame_->video_->Clear();
  }

 private:
  CMainFrame* frame_;
};

void CMainFrame::CreateConnectDisplay() {
  display_owner_ = std::make_unique<DisplayOwner>(this);
  ConnectSideWindows windows;
  windows.adb_tips = adb_tips_.get();
  windows.drv_progress = drv_progress_.get();
  windows.offline_tips = offline_tips_.get();
  connect_display_ = std::make_unique<CConnectDisplay>(&m_PaintManager, m_hWnd, display_owner_.get(), windows);
  connect_display_->Init();
  auto reconnect = [](bool force) { FrameBackend()->ReConnect(force); };
  adb_tips_->SetReconnect(reconnect);
  offline_tips_->SetReconnect(reconnect);
}

void CMainFrame::OnConnectState(int state) {
  if (connect_display_) connect_display_->OnConnectState(state);
}

void CMainFrame::SetConnecting(bool on) {
  if (connect_display_) connect_display_->SetConnecting(on);
}

void CMainFrame::SetConnected(bool yes) {
  if (connect_display_) connect_display_->SetConnected(yes);
}

void CMainFrame::OnConnectTimer() {
  if (connect_display_) connect_display_->OnConnectTimer();
}
