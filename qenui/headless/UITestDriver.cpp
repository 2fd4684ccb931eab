#include "qenui/headless/UITestDriver.h"

namespace DuiLib {

static bool CenterOf(CControlUI* p, HWND* h, LPARAM* l) {
  if (!p || !p->GetManager()) return false;
  *h = p->GetManager()->GetPaintWindow();
  p->GetManager()->UpdateLayout();
  const RECT& rc = p->GetPos();
  if (rc.IsEmpty()) return false;
  *l = MAKELPARAM(static_cast<int>((rc.left + rc.right) / 2), static_cast<int>((rc.top + rc.bottom) / 2));
  return true;
}

bool HoverControl(CControlUI* p) {
  HWND h; LPARAM l;
  if (!CenterOf(p, &h, &l)) return false;
  DispatchNativeMessage(h, WM_MOUSEMOVE, 0, l);
  return true;
}

bool ClickControl(CControlUI* p, UINT keyState) {
  HWND h; LPARAM l;
  if (!CenterOf(p, &h, &l)) return false;
  DispatchNativeMessage(h, WM_MOUSEMOVE, keyState, l);
  DispatchNativeMessage(h, WM_LBUTTONDOWN, keyState | MK_LBUTTON, l);
  DispatchNativeMessage(h, WM_LBUTTONUP, keyState, l);
  return true;
}

bool ClickControl(CPaintManagerUI& pm, LPCTSTR name, UINT keyState) { return ClickControl(pm.FindControl(name), keyState); }

bool ClickControl(HWND hWnd, LPCTSTR name) {
  CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(hWnd);
  return pm && ClickControl(pm->FindControl(name));
}

bool DoubleClickControl(CControlUI* p) {
  HWND h; LPARAM l;
  if (!CenterOf(p, &h, &l)) return false;
  DispatchNativeMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, l);
  DispatchNativeMessage(h, WM_LBUTTONUP, 0, l);
  DispatchNativeMessage(h, WM_LBUTTONDBLCLK, MK_LBUTTON, l);
  DispatchNativeMessage(h, WM_LBUTTONUP, 0, l);
  return true;
}

bool RightClickControl(CControlUI* p) {
  HWND h; LPARAM l;
  if (!CenterOf(p, &h, &l)) return false;
  DispatchNativeMessage(h, WM_RBUTTONDOWN, MK_RBUTTON, l);
  DispatchNativeMessage(h, WM_RBUTTONUP, 0, l);
  return true;
}

void PressKey(HWND h, UINT vk) {
  DispatchNativeMessage(h, WM_KEYDOWN, vk, 0);
  DispatchNativeMessage(h, WM_KEYUP, vk, 0);
}

void TypeText(HWND h, const std::u16string& text) {
  for (char16_t c : text) DispatchNativeMessage(h, WM_CHAR, c, 0);
}

std::string CNotifyRecorder::Summary(bool all) const {
  std::string out;
  for (auto& e : m_entries) {
    if (!all && (e.type == u"mouseenter" || e.type == u"mouseleave" || e.type == u"setfocus" || e.type == u"killfocus" ||
                 e.type == u"timer" || e.type == u"windowinit"))
      continue;
    if (!out.empty()) out += ",";
    out += e.type.ToUtf8() + ":" + e.sender.ToUtf8();
  }
  return out;
}

}  // namespace DuiLib
