#include "ui/small_windows/drv_progress_wnd.h"

#include <algorithm>
#include <memory>

#include "app/connect/connect_state.h"

using namespace DuiLib;

namespace {

constexpr int32_t kDownloadFinished = 6;

}  // namespace

CDrvProgressWnd::CDrvProgressWnd() { InitWinParam(u"wnd_xml\\drvload_wnd.xml"); }

bool CDrvProgressWnd::Create(HWND parent) {
  HWND h = CWindowWnd::Create(parent, u"DrvProgressWnd", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
  if (!h) return false;
  CenterWindow();
  return true;
}

void CDrvProgressWnd::InitAfterCreate() {
  CControlUI* bar = m_PaintManager.FindControl(u"drvload_progress");
  bar_ = bar ? static_cast<CProgressUI*>(bar->GetInterface(u"Progress")) : nullptr;
  CControlUI* status = m_PaintManager.FindControl(u"lab_drv_status");
  status_ = status ? static_cast<CLabelUI*>(status->GetInterface(u"Label")) : nullptr;
}

int CDrvProgressWnd::DownloadPercent(const DriverDownloadProgress& progress) {
  if (progress.status == kDownloadFinished) return 100;
  const uint64_t total = progress.first;
  const uint64_t done = progress.second;
  if (total == 0) return 0;
  if (done >= total) return 100;
  return static_cast<int>(static_cast<unsigned __int128>(done) * 100 / total);
}

void CDrvProgressWnd::SetProgress(DriverDownloadProgress* progress) {
  std::unique_ptr<DriverDownloadProgress> owned(progress);
  if (!owned || !bar_) return;
  const int value = DownloadPercent(*owned) / 2;
  progress_ = value;
  bar_->SetValue(value);
}

void CDrvProgressWnd::OnConnectState(int state) {
  if (!status_ || !bar_) return;
  switch (state) {
    case kConn_DownloadDrv:
      status_->SetText(u"正在下载手机驱动");
      break;
    case kConn_SetupDrv:
      status_->SetText(u"正在安装手机驱动");
      SetTimer(m_hWnd, kInstallTimer, kInstallElapse);
      break;
    case kConn_SetupDrv_end:
      KillTimer(m_hWnd, kInstallTimer);
      bar_->SetValue(100);
      break;
    case kConn_SetupDrv_failed:
    case kConn_Phone_Remove:
      KillTimer(m_hWnd, kInstallTimer);
      break;
    default:
      break;
  }
}

LRESULT CDrvProgressWnd::OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (wParam != kInstallTimer) return CSideWindow::OnTimer(uMsg, wParam, lParam, bHandled);
  bHandled = true;
  if (!bar_) return 0;
  progress_ += std::min((100 - progress_) / 18, 3.0);
  bar_->SetValue(static_cast<int>(progress_));
  return 0;
}
