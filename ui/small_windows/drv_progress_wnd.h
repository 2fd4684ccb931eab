// CDrvProgressWnd: the driver progress window. While the phone's USB driver
// is downloaded and installed it tells which of the two is happening; the
// first half of its bar follows the download, the second half creeps forward
// once a second during the installation and never fills by itself.
//
// Threading: UI thread only; progress records arrive as posted messages.
#pragma once

#include "app/core/message_payloads.h"
#include "ui/small_windows/side_window.h"

class CDrvProgressWnd : public CSideWindow {
 public:
  static constexpr DuiLib::UINT kInstallTimer = 120;
  static constexpr DuiLib::UINT kInstallElapse = 1000;

  CDrvProgressWnd();

  // Layout "wnd_xml\drvload_wnd.xml", name "DrvProgressWnd", WS_POPUP,
  // WS_EX_TOOLWINDOW, the layout's size, centred.
  bool Create(DuiLib::HWND parent) override;

  // One report of the driver download (message 1225); takes the record over
  // and deletes it. The record's `first` is the total size and `second` the
  // downloaded size, as the download callback hands them over.
  void SetProgress(DriverDownloadProgress* progress);

  // Follows the connection states of the driver download and installation.
  void OnConnectState(int state);

  double Progress() const { return progress_; }

  // Percent of a download report: downloaded × 100 / total in whole numbers,
  // 0 for a total of 0, 100 once finished (status 6); a downloaded count
  // above the total counts as 100.
  static int DownloadPercent(const DriverDownloadProgress& progress);

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"DrvProgressWnd"; }
  void InitAfterCreate() override;
  DuiLib::LRESULT OnTimer(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;

 private:
  DuiLib::CProgressUI* bar_ = nullptr;
  DuiLib::CLabelUI* status_ = nullptr;
  double progress_ = 0;  // kept between two installations
};
