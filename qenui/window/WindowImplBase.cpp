#include "qenui/window/WindowImplBase.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace DuiLib {

void WindowImplBaseNew::Notify(TNotifyUI& msg) {
  const CDuiString& t = msg.sType;
  if (t == DUI_MSGTYPE_WINDOWINIT) WindowInitNotify(msg);
  else if (t == DUI_MSGTYPE_CLICK) ClickNotify(msg);
  else if (t == DUI_MSGTYPE_SELECTCHANGED) SelectChangedNotify(msg);
  else if (t == DUI_MSGTYPE_TEXTCHANGED) TextChangedNotify(msg);
  else if (t == DUI_MSGTYPE_ITEMSELECT) ItemSelectNotify(msg);
  else if (t == DUI_MSGTYPE_ITEMCLICK) ItemClickNotify(msg);
  else if (t == DUI_MSGTYPE_KILLFOCUS) KillFocusNotify(msg);
  else if (t == DUI_MSGTYPE_SETFOCUS) SetFocusNotify(msg);
  else if (t == DUI_MSGTYPE_LINK) LinkNotify(msg);
  else if (t == DUI_MSGTYPE_RETURN) ReturnNotify(msg);
  else OtherNotify(msg);
}

LRESULT WindowImplBaseNew::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
  if (uMsg == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_RETURN)) {
    LRESULT r = ResponseDefaultKeyEvent(wParam);
    bHandled = r != 0;
    return r;
  }
  return 0;
}

LRESULT WindowImplBaseNew::ResponseDefaultKeyEvent(WPARAM) { return 0; }

LRESULT WindowImplBaseNew::OnCreate(UINT, WPARAM, LPARAM, bool& bHandled) {
  bHandled = true;
  m_PaintManager.Init(m_hWnd);
  CDialogBuilder builder;
  CControlUI* root = builder.Create(GetSkinFile(), nullptr, this, &m_PaintManager);
  if (!root) {
    std::fprintf(stderr, "qenui: cannot build window layout %s: %s\n", GetSkinFile().ToUtf8().c_str(),
                 builder.GetLastError().c_str());
    return -1;
  }
  m_PaintManager.AttachDialog(root);
  m_PaintManager.AddNotifier(this);
  m_PaintManager.AddMessageFilter(this);
  SIZE sz = m_PaintManager.GetInitSize();
  if (sz.cx > 0 && sz.cy > 0) ResizeClient(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
  SIZE round = m_PaintManager.GetRoundCorner();
  if (round.cx > 0) CPaintManagerUI::GetHost()->SetNativeWindowShape(m_hWnd, static_cast<int>(round.cx));
  InitAfterCreate();
  m_PaintManager.SendNotify(m_PaintManager.GetRoot(), DUI_MSGTYPE_WINDOWINIT);
  return 0;
}

LRESULT WindowImplBaseNew::OnClose(UINT, WPARAM, LPARAM, bool& bHandled) { bHandled = false; return 0; }
LRESULT WindowImplBaseNew::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled) { bHandled = false; return 0; }
LRESULT WindowImplBaseNew::OnTimer(UINT, WPARAM, LPARAM, bool& bHandled) { bHandled = false; return 0; }
LRESULT WindowImplBaseNew::OnMouseWheel(UINT, WPARAM, LPARAM, bool& bHandled) { bHandled = false; return 0; }
LRESULT WindowImplBaseNew::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
  bHandled = true;
  POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  ScreenToClient(m_hWnd, &pt);
  RECT client;
  GetClientRect(m_hWnd, &client);
  RECT cap = m_PaintManager.GetCaptionRect();
  RECT band = MakeRect(client.left + cap.left, client.top + cap.top, client.right - cap.right, client.top + cap.bottom);
  if (!band.Contains(pt)) return HTCLIENT;
  CControlUI* c = m_PaintManager.FindControl(pt);
  if (c && (c->GetInterface(u"Button") || c->GetInterface(u"Edit") || c->GetInterface(u"Text") ||
            c->GetInterface(u"Combo")))
    return HTCLIENT;
  return HTCAPTION;
}

LRESULT WindowImplBaseNew::OnNcActivate(UINT, WPARAM, LPARAM, bool& bHandled) { bHandled = false; return 0; }
LRESULT WindowImplBaseNew::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& bHandled) { bHandled = false; return 0; }

LRESULT WindowImplBaseNew::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  bHandled = true;
  return DefWindowProc(uMsg, wParam, lParam);
}

LRESULT WindowImplBaseNew::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  bool bHandled = true;
  LRESULT lRes = 0;
  // A click in another window closes an open menu, whether or not the
  // focus moves with it.
  if (uMsg == WM_LBUTTONDOWN || uMsg == WM_RBUTTONDOWN) CMenuImplBase::CloseMenusExcept(m_hWnd);
  switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_TIMER: lRes = OnTimer(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEWHEEL: lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_NCACTIVATE: lRes = OnNcActivate(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    case UIMSG_RESTORE_SHOW:
      // Restore, show and raise (tray click, second start, connection success).
      if (IsIconic(m_hWnd)) DuiLib::ShowWindow(m_hWnd, SW_RESTORE);
      else DuiLib::ShowWindow(m_hWnd, SW_SHOW);
      SetForegroundWindow(m_hWnd);
      return 0;
    default: bHandled = false; break;
  }
  if (!bHandled) lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
  if (bHandled) return lRes;
  if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
  return DefWindowProc(uMsg, wParam, lParam);
}

void WindowImplBaseNew::OnFinalMessage(HWND) {
  m_PaintManager.RemoveNotifier(this);
  m_PaintManager.RemoveMessageFilter(this);
  m_PaintManager.RemoveAllTimers();
}

// ---------------- CMenuImplBase ----------------

void CMenuImplBase::InitParam(HWND hOwner, LPCTSTR pstrSkinFile, LPCTSTR pstrListName) {
  m_hOwner = hOwner;
  InitWinParam(pstrSkinFile);
  m_sListName = pstrListName ? pstrListName : u"menulist";
}

namespace {
std::vector<HWND> g_open_menus;  // UI thread only
}  // namespace

void CMenuImplBase::CloseMenusExcept(HWND except) {
  for (HWND menu : std::vector<HWND>(g_open_menus)) {
    if (menu != except) DuiLib::PostMessage(menu, WM_CLOSE, IDCANCEL, 0);
  }
}

void CMenuImplBase::InitAfterCreate() {
  g_open_menus.push_back(m_hWnd);
  m_pList = static_cast<CListUI*>(
      m_PaintManager.FindControl(m_sListName) ? m_PaintManager.FindControl(m_sListName)->GetInterface(u"List") : nullptr);
  if (!m_pList && m_PaintManager.GetRoot()) {
    CControlUI* any = m_PaintManager.FindSubControlByClass(nullptr, u"ListUI");
    m_pList = any ? static_cast<CListUI*>(any->GetInterface(u"List")) : nullptr;
  }
  InitItem();
}

CListLabelElementUI* CMenuImplBase::AddMenuItem(LPCTSTR text, UINT_PTR tag, int height) {
  if (!m_pList) return nullptr;
  auto* item = new CListLabelElementUI;
  item->SetText(text);
  item->SetTag(tag);
  item->SetFixedHeight(height);
  item->SetEnabled(true);
  m_pList->Add(item);
  return item;
}

void CMenuImplBase::ShowMenu(POINT pt) {
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  RECT work = CPaintManagerUI::GetHost()->GetWorkArea();
  long x = std::min(pt.x, work.right - rc.Width());
  long y = pt.y + rc.Height() > work.bottom ? pt.y - rc.Height() : pt.y;
  SetWindowPos(m_hWnd, HWND_TOPMOST, static_cast<int>(std::max(work.left, x)), static_cast<int>(std::max(work.top, y)),
               0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(m_hWnd);
}

void CMenuImplBase::ShowMenu() {
  POINT pt;
  GetCursorPos(&pt);
  ShowMenu(pt);
}

void CMenuImplBase::OnItemChosen(CControlUI* pItem) {
  UINT_PTR tag = pItem ? pItem->GetTag() : 0;
  HWND owner = m_hOwner;
  Close(IDOK);
  if (owner) DuiLib::PostMessage(owner, UIMSG_MENU_COMMAND, tag, 0);
}

void CMenuImplBase::Notify(TNotifyUI& msg) {
  if (msg.sType == DUI_MSGTYPE_ITEMCLICK && msg.pSender && msg.pSender->GetInterface(u"ListItem")) {
    OnItemChosen(msg.pSender);
    return;
  }
  WindowImplBaseNew::Notify(msg);
}

LRESULT CMenuImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_KILLFOCUS || (uMsg == WM_NCACTIVATE && wParam == 0)) {
    // The menu goes away when another window takes the focus. Focus may leave
    // for a moment and come back (where it follows the pointer, a window that
    // appears under it takes it twice): the menu closes only when, once the
    // events now pending are handled, it still lacks the focus.
    if (!m_focusCheckPosted) m_focusCheckPosted = DuiLib::PostMessage(m_hWnd, UIMSG_MENU_FOCUS_CHECK);
    return 0;
  }
  if (uMsg == WM_DESTROY) {
    g_open_menus.erase(std::remove(g_open_menus.begin(), g_open_menus.end(), m_hWnd), g_open_menus.end());
  }
  if (uMsg == UIMSG_MENU_FOCUS_CHECK) {
    m_focusCheckPosted = false;
    if (!CPaintManagerUI::GetHost()->NativeWindowHasFocus(m_hWnd)) Close(IDCANCEL);
    return 0;
  }
  if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) { Close(IDCANCEL); return 0; }
  return WindowImplBaseNew::HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
