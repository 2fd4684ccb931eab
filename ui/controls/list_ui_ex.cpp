#include "ui/controls/list_ui_ex.h"

#include <algorithm>

#include "ui/controls/button_state.h"

using namespace DuiLib;

namespace {

bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }
bool CtrlHeld() { return GetKeyState(VK_CONTROL) < 0; }
bool ShiftHeld() { return GetKeyState(VK_SHIFT) < 0; }
IListItemUI* AsItem(CControlUI* p) { return p ? static_cast<IListItemUI*>(p->GetInterface(u"ListItem")) : nullptr; }
CContainerUI* AsContainer(CControlUI* p) { return p ? static_cast<CContainerUI*>(p->GetInterface(u"Container")) : nullptr; }

void SetSubVisible(CControlUI* row, LPCTSTR name, bool visible) {
  if (CContainerUI* c = AsContainer(row)) c->SetSubControlVisible(name, visible);
}

CCheckBoxUI* SubCheckBox(CControlUI* row, LPCTSTR name) {
  CContainerUI* c = AsContainer(row);
  CControlUI* box = c ? c->FindSubControl(name) : nullptr;
  return box ? static_cast<CCheckBoxUI*>(box->GetInterface(u"CheckBox")) : nullptr;
}

}  // namespace

CControlUI* CListElementBuilderCallback::CreateControl(LPCTSTR pstrClass) {
  if (Is(pstrClass, u"ButtonState")) return new CButtonStateUI;
  return nullptr;
}

RowRange SelectionRange(int anchor, int index) {
  if (anchor < 0) anchor = 0;  // no current selection: from the first row
  return {std::min(anchor, index), std::max(anchor, index)};
}

// ---------------- rows ----------------

bool CListRowUIBase::Select(bool bSelect, bool bTriggerEvent) {
  if (!IsEnabled()) return false;
  m_bSelected = (bTriggerEvent && CtrlHeld()) ? !m_bSelected : bSelect;
  if (m_bSelected) m_uButtonState |= UISTATE_HOT;
  else m_uButtonState &= ~UISTATE_HOT;
  if (bTriggerEvent && m_pOwner) {
    if (ShiftHeld()) m_pOwner->SelectRange(m_iIndex);
    else m_pOwner->SelectItem(m_iIndex);
  }
  Invalidate();
  return true;
}

void CListRowUIBase::ShowSelectMark() { SetSubVisible(this, u"selectlabel", m_bSelected); }

void CListContainerElementMultSelectUI::DoEvent(TEventUI& event) {
  if (PassOnWhenMouseDisabled(event)) return;
  CPaintManagerUI* pm = m_pManager;
  switch (event.Type) {
    case UIEVENT_DBLCLICK:
      if (IsEnabled() && m_pOwner) m_pOwner->DoubleClickItem(m_iIndex);
      return;
    case UIEVENT_KEYDOWN:
      if (!IsEnabled()) break;
      if (event.chKey == VK_RETURN) { Activate(); return; }
      if (event.chKey == VK_SPACE) { if (m_pOwner) m_pOwner->ActivateItem(m_iIndex); return; }
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
      if (IsEnabled()) {
        if (pm) pm->SendNotify(this, DUI_MSGTYPE_ITEMCLICK);
        if (pm && pm->IsControlRemoved(this)) return;  // the handler took the row away
        if (event.Type == UIEVENT_BUTTONDOWN || !IsSelected()) Select(true, true);
      }
      PassToOwner(event);
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        if (pm) pm->SendNotify(this, u"mouseenter");
        SetHot(true);
      }
      return;
    case UIEVENT_MOUSELEAVE:
      SetHot(false);
      return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
    case UIEVENT_MOUSEMOVE:
      PassToOwner(event);
      return;
    default:
      break;
  }
  CHorizontalLayoutUI::DoEvent(event);
}

bool CListContainerElementMultUI::Select(bool bSelect, bool bTriggerEvent) {
  bool ok = CListRowUIBase::Select(bSelect, bTriggerEvent);
  ShowSelectMark();
  return ok;
}

void CListContainerElementMultUI::DoEvent(TEventUI& event) {
  if (IsEnabled()) {
    CCheckBoxUI* box = SubCheckBox(this, u"checkbox");
    switch (event.Type) {
      case UIEVENT_MOUSEENTER:
        SetSubVisible(this, u"checkbox", true);
        SetSubVisible(this, u"titlelabel", true);
        break;
      case UIEVENT_BUTTONDOWN:
      case UIEVENT_RBUTTONDOWN:
        if (box) box->SetCheck(!box->GetCheck());
        break;
      default:
        break;
    }
  }
  if (event.Type == UIEVENT_MOUSELEAVE) {
    CCheckBoxUI* box = SubCheckBox(this, u"checkbox");
    SetSubVisible(this, u"titlelabel", box && box->GetCheck());
  }
  CListContainerElementUI::DoEvent(event);
}

bool CListContainerElementUIEx::Select(bool bSelect, bool bTriggerEvent) {
  bool ok = CListRowUIBase::Select(bSelect, bTriggerEvent);
  ShowSelectMark();
  return ok;
}

void CListContainerElementUIEx::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_MOUSEENTER && IsEnabled()) SetSubVisible(this, u"titlelabel", true);
  else if (event.Type == UIEVENT_MOUSELEAVE) SetSubVisible(this, u"titlelabel", false);
  CListContainerElementUI::DoEvent(event);
}

// ---------------- CListUIEx ----------------

CListUIEx::CListUIEx() { SetItemShowHtml(true); }

CListUIEx::~CListUIEx() { DeleteRemovedRows(m_removed.size()); }

CControlUI* CListUIEx::CreateControl(LPCTSTR pstrClass) {
  if (Is(pstrClass, u"ListContainerElementMultSelectUI")) return new CListContainerElementMultSelectUI;
  if (Is(pstrClass, u"ListContainerElementUIEx")) return new CListContainerElementUIEx;
  return nullptr;
}

void CListUIEx::SetRowSelected(CControlUI* row, bool selected) {
  if (IListItemUI* li = AsItem(row)) li->Select(selected, false);
}

// ---------------- filling in slices ----------------

void CListUIEx::FillInSlices(int count, std::function<void(int)> add_row) {
  EndFill();
  if (count <= 0 || !add_row) return;
  m_fill = std::make_shared<FillState>();
  m_fill->count = count;
  m_fill->add_row = std::move(add_row);
  AddFillRows(m_fillSlice, true);
  // The rest from the UI loop; without a window to time it, now.
  if (m_fill && !ArmTimer()) FinishFill();
}

int CListUIEx::PendingRows() const { return m_fill ? m_fill->count - m_fill->next : 0; }

void CListUIEx::FinishFill() {
  if (!m_addingFillRows) AddFillRows(PendingRows());
}

void CListUIEx::AddFillRows(int limit, bool budgeted) {
  std::shared_ptr<FillState> fill = m_fill;  // a row's handler may drop the fill
  if (!fill) return;
  // The budget runs on the window's clock, as its timers do.
  const uint64_t end = GetTickCount64() + static_cast<uint64_t>(m_fillBudgetMs);
  m_addingFillRows = true;
  for (int n = 0; n < limit && fill->next < fill->count && m_fill == fill; ++n) {
    if (budgeted && m_fillBudgetMs > 0 && n > 0 && GetTickCount64() >= end) break;
    const int before = GetCount();
    fill->add_row(fill->next++);
    if (GetCount() <= before) continue;
    CControlUI* row = GetItemAt(GetCount() - 1);
    if (fill->check >= 0)
      if (CCheckBoxUI* box = RowCheckBox(row)) box->SetCheck(fill->check != 0, false);
    if (fill->select >= 0) SetRowSelected(row, fill->select != 0);
  }
  m_addingFillRows = false;
  if (m_fill == fill && fill->next >= fill->count) EndFill();
}

void CListUIEx::EndFill() {
  if (!m_fill) return;
  m_fill.reset();
  ArmTimer();
}

void CListUIEx::DeleteRemovedRows(size_t limit) {
  const size_t n = std::min(limit, m_removed.size());
  for (size_t i = 0; i < n; ++i) {
    delete m_removed.back();
    m_removed.pop_back();
  }
}

bool CListUIEx::ArmTimer() {
  if (!m_pManager) return false;
  // Due a moment from now, not after the last due time: the loop goes round
  // (input, painting) between two slices.
  if (m_fill || !m_removed.empty()) return m_pManager->SetTimer(this, kFillTimer, 1);
  m_pManager->KillTimer(this, kFillTimer);
  return false;
}

void CListUIEx::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kFillTimer) {
    DeleteRemovedRows(kDeleteSlice);
    AddFillRows(m_fillSlice, true);
    ArmTimer();
    return;
  }
  CListUI::DoEvent(event);
}

// ---------------- rows ----------------

void CListUIEx::RemoveAll() {
  EndFill();
  // The rows leave the list and the window now; deleting thousands of them
  // at once would hold the window, so the list's timer deletes them. Rows
  // removed while an event is handled go the library's way (deleted when it
  // is done, and seen as removed meanwhile).
  CContainerUI* body = GetList();
  const bool later = m_pManager && !m_pManager->IsDispatching() && body->IsAutoDestroy();
  if (later) {
    for (int i = 0; i < GetCount(); ++i) m_removed.push_back(GetItemAt(i));
    body->SetAutoDestroy(false);
  }
  CListUI::RemoveAll();
  if (later) {
    body->SetAutoDestroy(true);
    if (!ArmTimer()) DeleteRemovedRows(m_removed.size());
  }
  if (CScrollBarUI* bar = GetVerticalScrollBar()) {
    bar->SetScrollRange(0);
    bar->SetScrollPos(0);
  }
}

int CListUIEx::IndexOfUserData(LPCTSTR data) const {
  for (int i = 0; i < GetCount(); ++i)
    if (CompareNoCase(GetItemAt(i)->GetUserData(), data) == 0) return i;
  if (!m_fill || m_addingFillRows) return -1;
  const int from = GetCount();
  CompleteFill();
  for (int i = from; i < GetCount(); ++i)
    if (CompareNoCase(GetItemAt(i)->GetUserData(), data) == 0) return i;
  return -1;
}

CControlUI* CListUIEx::FindRowByUserData(LPCTSTR data) const { return GetItemAt(IndexOfUserData(data)); }

bool CListUIEx::RemoveRowByUserData(LPCTSTR data) {
  int i = IndexOfUserData(data);
  return i >= 0 && RemoveAt(i);
}

CDuiString CListUIEx::GetRowUserData(int index) const {
  CControlUI* row = GetItemAt(index);
  return row ? row->GetUserData() : CDuiString();
}

CControlUI* CListUIEx::FirstSelectedRow() const {
  for (int i = 0; i < GetCount(); ++i) {
    IListItemUI* li = AsItem(GetItemAt(i));
    if (li && li->IsSelected()) return GetItemAt(i);
  }
  return nullptr;
}

CCheckBoxUI* CListUIEx::RowCheckBox(CControlUI* row) const {
  return m_sCheckBoxName.IsEmpty() ? nullptr : SubCheckBox(row, m_sCheckBoxName);
}

int CListUIEx::CheckedCount() const {
  int n = m_fill && m_fill->check == 1 ? PendingRows() : 0;
  for (int i = 0; i < GetCount(); ++i) {
    CCheckBoxUI* box = RowCheckBox(GetItemAt(i));
    if (box && box->GetCheck()) ++n;
  }
  return n;
}

void CListUIEx::GetCheckedRows(std::vector<CControlUI*>& rows) const {
  if (m_fill && m_fill->check == 1) CompleteFill();
  for (int i = 0; i < GetCount(); ++i) {
    CCheckBoxUI* box = RowCheckBox(GetItemAt(i));
    if (box && box->GetCheck()) rows.push_back(GetItemAt(i));
  }
}

void CListUIEx::GetCheckedIds(std::vector<long long>& ids) const {
  std::vector<CControlUI*> rows;
  GetCheckedRows(rows);
  for (CControlUI* row : rows) ids.push_back(ParseInt(row->GetUserData()));
}

void CListUIEx::CheckAll(bool checked) {
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* row = GetItemAt(i);
    if (CCheckBoxUI* box = RowCheckBox(row)) box->SetCheck(checked, false);
    SetRowSelected(row, checked);
  }
  if (m_fill) m_fill->check = m_fill->select = checked ? 1 : 0;
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), 0);
}

void CListUIEx::OnCheckBoxClicked(CControlUI* checkBox) {
  auto* box = checkBox ? static_cast<CCheckBoxUI*>(checkBox->GetInterface(u"CheckBox")) : nullptr;
  auto* row = box ? reinterpret_cast<CControlUI*>(box->GetTag()) : nullptr;
  IListItemUI* li = AsItem(row);
  if (li && li->IsSelected() != box->GetCheck()) li->Select(box->GetCheck(), false);
}

CCheckBoxUI* CListUIEx::SyncCheckBoxes(int index) {
  CCheckBoxUI* answer = nullptr;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* row = GetItemAt(i);
    CCheckBoxUI* box = RowCheckBox(row);
    IListItemUI* li = AsItem(row);
    if (box && li) box->SetCheck(li->IsSelected(), false);
    if (i == index) answer = box;
  }
  if (m_fill && !m_sCheckBoxName.IsEmpty()) m_fill->check = m_fill->select == 1 ? 1 : 0;
  return answer;
}

void CListUIEx::Relayout() { SetPos(GetPos()); }

CControlUI* CListUIEx::AddRowFromLayout(CDialogBuilder& builder, bool& parsed, LPCTSTR layout, int position) {
  if (position >= 0) FinishFill();  // the position counts every row
  CControlUI* row = nullptr;
  if (!parsed) {
    row = builder.Create(layout, nullptr, this, m_pManager);
    parsed = row != nullptr;
  } else {
    row = builder.Create(this, m_pManager);
  }
  if (!row) return nullptr;
  if (!(position < 0 ? Add(row) : AddAt(row, position))) {
    delete row;
    return nullptr;
  }
  return row;
}

bool CListUIEx::SelectItem(int iIndex, bool bTakeFocus) {
  int old = m_iCurSel;
  if (!CtrlHeld()) {
    for (int i = 0; i < GetCount(); ++i)
      if (i != iIndex) SetRowSelected(GetItemAt(i), false);
    if (m_fill) m_fill->select = 0;
    m_iCurSel = -1;
  }
  CControlUI* row = GetItemAt(iIndex);
  if (iIndex < 0 || !row || !row->IsEnabled() || !AsItem(row)) return false;
  m_iCurSel = iIndex;
  if (bTakeFocus) {
    SetRowSelected(row, true);
    ActivateItem(iIndex);
  }
  EnsureVisible(iIndex);
  if (bTakeFocus) row->SetFocus();
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), old);
  return true;
}

bool CListUIEx::SelectRange(int iIndex, bool bTakeFocus) {
  if (iIndex == m_iCurSel) return true;
  int old = m_iCurSel;
  CControlUI* row = GetItemAt(iIndex);
  IListItemUI* li = AsItem(row);
  if (!row || !li || !row->IsVisible() || !row->IsEnabled() || !li->Select(true, false)) {
    m_iCurSel = -1;
    return false;
  }
  m_iCurSel = iIndex;
  EnsureVisible(iIndex);
  if (bTakeFocus) row->SetFocus();
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), old);
  RowRange range = SelectionRange(old, iIndex);
  for (int i = 0; i < GetCount(); ++i) SetRowSelected(GetItemAt(i), i >= range.first && i <= range.last);
  if (m_fill) m_fill->select = 0;  // the rows to come lie past the range
  return true;
}

bool CListUIEx::ActivateItem(int iIndex) {
  if (m_sCheckBoxName.IsEmpty()) return true;
  CCheckBoxUI* box = SyncCheckBoxes(iIndex);
  if (box && m_pManager) m_pManager->SendNotify(box, DUI_MSGTYPE_CLICK);
  return true;
}

void CListUIEx::SetPos(RECT rc, bool bNeedInvalidate) {
  CListUI::SetPos(rc, bNeedInvalidate);
  if (!m_pHeader || !m_pHeader->IsVisible()) return;
  int columns = std::min(m_pHeader->GetCount(), kMaxColumns);
  HWND wnd = m_pManager ? m_pManager->GetPaintWindow() : 0;
  if (columns < 2 || (wnd && IsIconic(wnd))) return;
  for (int i = 0; i < GetCount(); ++i) {
    CContainerUI* row = AsContainer(GetItemAt(i));
    CContainerUI* cells = row ? AsContainer(row->GetItemAt(0)) : nullptr;
    if (!cells || cells->GetCount() <= 1) continue;
    for (int j = 0; j < columns && j < cells->GetCount(); ++j) {
      const RECT& col = m_pHeader->GetItemAt(j)->GetPos();
      cells->GetItemAt(j)->SetFixedWidth(static_cast<int>(col.right - col.left));
    }
  }
}
