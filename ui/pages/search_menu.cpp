#include "ui/pages/search_menu.h"

#include "ui/controls/list_ui_ex.h"

using namespace DuiLib;

namespace {

// The contact popup's list: a page list, so rows carry the contact id.
class CContactSearchList : public CListUIEx {};

}  // namespace

CSearchMenu::CSearchMenu() : CSearchMenu(u"wnd_xml\\menu_search_wnd.xml") {}

CSearchMenu::CSearchMenu(const char16_t* layout) { InitWinParam(layout); }

CSearchMenu::~CSearchMenu() {
  if (IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

void CSearchMenu::Create(HWND parent) {
  if (m_hWnd) return;
  CWindowWnd::Create(parent, u"SearchWnd", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  if (m_hWnd) DuiLib::ShowWindow(m_hWnd, SW_HIDE);
}

void CSearchMenu::InitAfterCreate() {
  CControlUI* list = m_PaintManager.FindControl(u"menulist");
  list_ = list ? static_cast<CListUI*>(list->GetInterface(u"List")) : nullptr;
}

void CSearchMenu::AddItem(const std::u16string& text) { AddItem(text, text); }

void CSearchMenu::AddItem(const std::u16string& key, const std::u16string& text) {
  items_.push_back({static_cast<int>(items_.size()), key, text});
}

void CSearchMenu::ShowItems() {
  if (!list_) return;
  for (const Item& item : items_) {
    auto* row = new CListLabelElementUI;
    row->SetFixedHeight(kItemHeight);
    row->SetUserData(item.key.c_str());
    row->SetText(item.text.c_str());
    row->SetToolTip(item.text.c_str());
    list_->Add(row);
  }
}

void CSearchMenu::Clear() {
  items_.clear();
  if (list_) list_->RemoveAll();
}

const std::vector<std::u16string>& CSearchMenu::Items() const {
  texts_.clear();
  for (const Item& item : items_) texts_.push_back(item.text);
  return texts_;
}

void CSearchMenu::Popup(CControlUI* owner, long x, long y) {
  if (!m_hWnd) return;
  owner_ = owner;
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  const long width = width_ > 0 ? width_ : rc.Width();
  long height = static_cast<long>(items_.size()) * kItemHeight + 4;
  // Not past the bottom of the owner's window.
  if (owner && owner->GetManager()) {
    RECT main;
    if (GetWindowRect(owner->GetManager()->GetPaintWindow(), &main) && y + height > main.bottom)
      height = std::max(0L, main.bottom - y);
  }
  SetWindowPos(m_hWnd, HWND_TOPMOST, static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
               static_cast<int>(height), SWP_NOACTIVATE);
  if (items_.empty() || height == 0) {
    DuiLib::ShowWindow(m_hWnd, SW_HIDE);
  } else if (!IsWindowVisible(m_hWnd)) {
    DuiLib::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  }
  if (owner) owner->SetTag(static_cast<UINT_PTR>(m_hWnd));
}

void CSearchMenu::Hide() {
  if (m_hWnd) DuiLib::ShowWindow(m_hWnd, SW_HIDE);
}

bool CSearchMenu::IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

void CSearchMenu::MoveHot(bool up) {
  if (!list_ || list_->GetCount() == 0) return;
  const int n = list_->GetCount();
  const int cur = list_->GetCurSel();
  int next;
  if (up) next = cur <= 0 ? n - 1 : cur - 1;
  else next = cur < 0 || cur >= n - 1 ? 0 : cur + 1;
  list_->SelectItem(next);
  list_->EnsureVisible(next);
}

std::u16string CSearchMenu::GetHotText() const {
  if (!list_) return std::u16string();
  const int cur = list_->GetCurSel();
  CControlUI* row = cur >= 0 ? list_->GetItemAt(cur) : nullptr;
  return row ? row->GetText().str() : std::u16string();
}

bool CSearchMenu::ContainsPoint(long x, long y) const {
  if (!m_hWnd) return false;
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  return x > rc.left && x < rc.right && y > rc.top && y < rc.bottom;
}

LRESULT CSearchMenu::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_KILLFOCUS:
      Hide();
      break;
    case WM_KEYDOWN:
      if (wParam == VK_UP || wParam == VK_DOWN) {
        MoveHot(wParam == VK_UP);
        return 0;
      }
      if (wParam == VK_RETURN) {
        const int cur = list_ ? list_->GetCurSel() : -1;
        if (cur >= 0) PickItem(list_->GetItemAt(cur));
        Hide();
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        Hide();
        return 0;
      }
      break;
    case WM_MOUSEWHEEL:
      // A positive turn (away from the user) moves up.
      MoveHot(static_cast<int16_t>(HIWORD(wParam)) > 0);
      return 0;
    default:
      break;
  }
  return WindowImplBaseNew::HandleMessage(uMsg, wParam, lParam);
}

void CSearchMenu::ItemClickNotify(TNotifyUI& msg) {
  if (msg.pSender && msg.pSender->GetInterface(u"ListItem")) PickItem(msg.pSender);
}

void CSearchMenu::PickItem(CControlUI* row) {
  if (owner_ && list_ && row && owner_->GetManager()) {
    const std::u16string key = row->GetUserData().str();
    for (const Item& item : items_) {
      if (item.key != key) continue;
      owner_->GetManager()->SendNotify(owner_, u"searchitem_click", static_cast<WPARAM>(item.number),
                                       reinterpret_cast<LPARAM>(item.key.c_str()));
      break;
    }
  }
  Hide();
}

CContactSearchMenu::CContactSearchMenu() : CSearchMenu(u"wnd_xml\\contact_search_wnd.xml") {}

CControlUI* CContactSearchMenu::CreateControl(LPCTSTR cls) {
  if (cls && std::u16string(cls) == u"ContactSearchList") return new CContactSearchList;
  return nullptr;
}

void CContactSearchMenu::PickItem(CControlUI* row) {
  if (owner_ && row && owner_->GetManager()) {
    const std::u16string data = row->GetUserData().str();
    owner_->GetManager()->SendNotify(owner_, u"searchcontactitem_click", 0, reinterpret_cast<LPARAM>(data.c_str()));
  }
  Hide();
}
