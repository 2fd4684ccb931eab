// CDownGifWnd: the download indicator. When a download is requested, a small
// half-transparent picture flies in at most ten steps of 40 ms from the mouse
// cursor to the main window's task button, rests there 150 ms and disappears.
//
// Threading: UI thread only.
#pragma once

#include "ui/small_windows/side_window.h"

class CDownGifWnd : public CSideWindow {
 public:
  static constexpr DuiLib::UINT kFlightTimer = 121;
  static constexpr DuiLib::UINT kFlightElapse = 40;
  // The rest at the target, as a timer of its own (never a sleep on the UI thread).
  static constexpr DuiLib::UINT kRestTimer = 122;
  static constexpr DuiLib::UINT kRestElapse = 150;

  CDownGifWnd();

  // Layout "wnd_xml\downgif_wnd.xml", name "DownGifWnd", WS_POPUP,
  // WS_EX_LAYERED | WS_EX_WINDOWEDGE, the layout's size, not centred.
  bool Create(DuiLib::HWND parent) override;

  // Where the next flight ends (screen coordinates); set before each flight.
  void SetTarget(DuiLib::POINT target) { target_ = target; }
  DuiLib::POINT Target() const { return target_; }

  // Starts a flight from `start` (screen coordinates). The start moves 20 px
  // left first, and the caller's point with it.
  void FlyTo(DuiLib::POINT& start);

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"DownGifWnd"; }
  void InitAfterCreate() override;
  DuiLib::LRESULT OnTimer(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled) override;

 private:
  // Places the window's bottom-left corner at (x + 10, y + 10) and shows it.
  void MoveTo(DuiLib::POINT pt);
  void OnFlightTick();

  DuiLib::POINT target_;
  DuiLib::POINT current_;
  DuiLib::POINT step_;  // dx, dy
};
