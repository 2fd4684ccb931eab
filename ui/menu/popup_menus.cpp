#include "ui/menu/popup_menus.h"

#include <utility>

using namespace DuiLib;

namespace {

CMainMenu* g_main_menu = nullptr;        // UI thread only
CContactMenu* g_contact_menu = nullptr;  // UI thread only

struct MenuItem {
  const char16_t* text;
  UINT_PTR value;
};

constexpr MenuItem kMainItems[] = {{u"设置", 105}, {u"关于", 106}, {u"退出", 107}};
constexpr MenuItem kContactItems[] = {{u"电话", 0}, {u"邮箱", 1}, {u"聊天工具", 2}, {u"地址", 3}};

// The layout is one row high; the menu grows to hold its rows.
void FitToItems(CMenuImplBase* menu) {
  RECT rc;
  GetWindowRect(menu->GetHWND(), &rc);
  int count = menu->GetMenuList() ? menu->GetMenuList()->GetCount() : 0;
  SetWindowPos(menu->GetHWND(), 0, 0, 0, static_cast<int>(rc.Width()), count * kMenuItemHeight + 4,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Makes `menu` the one open menu of its kind, closing the open one first, and
// creates its window; false when that fails (then no menu of the kind is open
// and `menu` is gone).
template <typename Menu>
bool CreateAlone(Menu*& open, Menu* menu, HWND owner, LPCTSTR name) {
  if (open) DestroyWindow(open->GetHWND());
  menu->InitParam(owner, kMenuLayout);
  open = menu;  // cleared by the menu when a failed create already deleted it
  if (!menu->Create(owner, name, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) {
    if (open == menu) delete menu;
    open = nullptr;
    return false;
  }
  return true;
}

}  // namespace

CMainMenu* OpenMainMenu() { return g_main_menu; }
CContactMenu* OpenContactMenu() { return g_contact_menu; }

void CMainMenu::InitItem() {
  CMenuImplBase::InitItem();
  for (const MenuItem& item : kMainItems) {
    if (item.value == 107 && !with_exit_) continue;
    AddMenuItem(item.text, item.value, kMenuItemHeight);
  }
}

void CMainMenu::OnFinalMessage(HWND hWnd) {
  CMenuImplBase::OnFinalMessage(hWnd);
  if (g_main_menu == this) g_main_menu = nullptr;
  delete this;
}

void CContactMenu::InitItem() {
  CMenuImplBase::InitItem();
  for (const MenuItem& item : kContactItems) {
    CListLabelElementUI* row = AddMenuItem(item.text, 0, kMenuItemHeight);
    if (row) row->SetUserData(static_cast<int>(item.value));
  }
}

void CContactMenu::Notify(TNotifyUI& msg) {
  if (msg.sType == DUI_MSGTYPE_ITEMCLICK && msg.pSender && msg.pSender->GetInterface(u"ListItem")) {
    int group = static_cast<int>(ParseInt(msg.pSender->GetUserData()));
    std::function<void(int group)> on_group = on_group_;  // the menu may be gone after Close
    Close(IDOK);
    if (on_group) on_group(group);
    return;
  }
  CMenuImplBase::Notify(msg);
}

void CContactMenu::OnFinalMessage(HWND hWnd) {
  CMenuImplBase::OnFinalMessage(hWnd);
  if (g_contact_menu == this) g_contact_menu = nullptr;
  delete this;
}

void ShowMainMenu(HWND owner, bool with_exit) {
  auto* menu = new CMainMenu(with_exit);
  if (!CreateAlone(g_main_menu, menu, owner, u"MainMenu")) return;
  FitToItems(menu);
  menu->ShowMenu();
}

void ShowContactMenu(HWND owner, POINT pt, std::function<void(int group)> on_group) {
  auto* menu = new CContactMenu(std::move(on_group));
  if (!CreateAlone(g_contact_menu, menu, owner, u"ContactMenu")) return;
  RECT rc;
  GetWindowRect(menu->GetHWND(), &rc);
  int count = menu->GetMenuList() ? menu->GetMenuList()->GetCount() : 0;
  int height = count * kMenuItemHeight + 4;
  SetWindowPos(menu->GetHWND(), HWND_TOPMOST, static_cast<int>(pt.x), static_cast<int>(pt.y),
               static_cast<int>(rc.Width()), height, SWP_SHOWWINDOW);
  SetForegroundWindow(menu->GetHWND());
}
