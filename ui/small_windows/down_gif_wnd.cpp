#include "ui/small_windows/down_gif_wnd.h"

#include <cstdlib>

using namespace DuiLib;

CDownGifWnd::CDownGifWnd() { InitWinParam(u"wnd_xml\\downgif_wnd.xml"); }

bool CDownGifWnd::Create(HWND parent) {
  HWND h = CWindowWnd::Create(parent, u"DownGifWnd", WS_POPUP, WS_EX_LAYERED | WS_EX_WINDOWEDGE, 0, 0, 0, 0);
  return h != 0;
}

void CDownGifWnd::InitAfterCreate() { SetLayeredWindowAttributes(m_hWnd, 0, 200, LWA_ALPHA); }

void CDownGifWnd::MoveTo(POINT pt) {
  RECT rc;
  if (!GetWindowRect(m_hWnd, &rc)) return;
  const int width = static_cast<int>(rc.right - rc.left);
  const int height = static_cast<int>(rc.bottom - rc.top);
  SetWindowPos(m_hWnd, 0, static_cast<int>(pt.x + 10), static_cast<int>(pt.y + 10 - height), width, height,
               SWP_SHOWWINDOW);
}

void CDownGifWnd::FlyTo(POINT& start) {
  if (!IsCreated()) return;
  start.x -= 20;
  current_ = start;
  step_.x = (start.x - target_.x) / 10;
  step_.y = (target_.y - start.y) / 10;
  KillTimer(m_hWnd, kRestTimer);  // a flight that starts during the rest of the last one
  MoveTo(start);
  ShowWindow(true, true);
  SetTimer(m_hWnd, kFlightTimer, kFlightElapse);
}

void CDownGifWnd::OnFlightTick() {
  current_.x -= step_.x;
  current_.y += step_.y;
  MoveTo(current_);
  if (std::labs(current_.x - target_.x) < 10) {  // only the horizontal distance ends the flight
    MoveTo(target_);
    KillTimer(m_hWnd, kFlightTimer);
    SetTimer(m_hWnd, kRestTimer, kRestElapse);
  }
}

LRESULT CDownGifWnd::OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (wParam == kFlightTimer) {
    bHandled = true;
    OnFlightTick();
    return 0;
  }
  if (wParam == kRestTimer) {
    bHandled = true;
    KillTimer(m_hWnd, kRestTimer);
    ShowWindow(false, false);
    return 0;
  }
  return CSideWindow::OnTimer(uMsg, wParam, lParam, bHandled);
}
