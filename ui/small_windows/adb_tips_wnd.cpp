#include "ui/small_windows/adb_tips_wnd.h"

#include "app/connect/connect_state.h"
#include "app/core/message_ids.h"

using namespace DuiLib;

CAdbTipsWnd::CAdbTipsWnd() { InitWinParam(u"wnd_xml\\adbtips_wnd.xml"); }

bool CAdbTipsWnd::Create(HWND parent) {
  HWND h = CWindowWnd::Create(parent, u"AdbTipsWnd", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
  if (!h) return false;
  CenterWindow();
  return true;
}

void CAdbTipsWnd::InitAfterCreate() {
  CControlUI* list = m_PaintManager.FindControl(u"tips_image_list");
  list_ = list ? static_cast<CListUI*>(list->GetInterface(u"List")) : nullptr;
  previous_btn_ = m_PaintManager.FindControl(u"tips_forward_btn");
  next_btn_ = m_PaintManager.FindControl(u"tips_back_btn");
  if (previous_btn_) previous_btn_->SetEnabled(false);
  index_ = 2;
}

void CAdbTipsWnd::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString& name = msg.pSender->GetName();
  if (name.CompareNoCase(u"close_btn") == 0) Cancel();
  else if (name.CompareNoCase(u"opened_btn") == 0) Opened();
  else if (name.CompareNoCase(u"tips_forward_btn") == 0) ShowPrevious();
  else if (name.CompareNoCase(u"tips_back_btn") == 0) ShowNext();
}

LRESULT CAdbTipsWnd::ResponseDefaultKeyEvent(WPARAM wParam) {
  if (wParam != VK_ESCAPE) return 0;
  Cancel();
  return 1;
}

void CAdbTipsWnd::Cancel() {
  Hide();
  DuiLib::PostMessage(GetParent(m_hWnd), msg::kConnectionState, 0, kConn_Cancel);
}

void CAdbTipsWnd::Opened() {
  Hide();
  if (reconnect_) reconnect_(true);
}

void CAdbTipsWnd::SetItemVisible(int position, bool visible) {
  if (CControlUI* item = list_->GetItemAt(position)) item->SetVisible(visible);
}

void CAdbTipsWnd::ShowNext() {
  if (!list_) return;
  if (list_->GetItemAt(index_ + 1)) {
    SetItemVisible(index_ + 1, true);
    SetItemVisible(index_ - 2, false);
  }
  ++index_;
  UpdateButtons(index_);
}

void CAdbTipsWnd::ShowPrevious() {
  if (!list_) return;
  if (list_->GetItemAt(index_ - 3)) {
    SetItemVisible(index_ - 3, true);
    SetItemVisible(index_, false);
  }
  --index_;
  UpdateButtons(index_);
}

void CAdbTipsWnd::UpdateButtons(int index) {
  const int n = list_->GetCount();
  bool previous = false;
  bool next = false;
  if (n == 1) {
    previous = next = false;
  } else if (index >= 3 && index < n - 1) {
    previous = next = true;
  } else if (index >= n - 1) {
    previous = true;
  } else {  // index < 3
    next = true;
  }
  if (previous_btn_) previous_btn_->SetEnabled(previous);
  if (next_btn_) next_btn_->SetEnabled(next);
}
