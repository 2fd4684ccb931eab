#include "ui/small_windows/offline_tips_wnd.h"

#include "app/connect/connect_state.h"
#include "app/core/message_ids.h"

using namespace DuiLib;

COfflineTipsWnd::COfflineTipsWnd() { InitWinParam(u"wnd_xml\\offlinetips_wnd.xml"); }

bool COfflineTipsWnd::Create(HWND owner) {
  HWND h = CWindowWnd::Create(owner, u"OfflineTipsWnd", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
  if (!h) return false;
  CenterWindow();
  return true;
}

void COfflineTipsWnd::PostCancel() {
  DuiLib::PostMessage(GetParent(m_hWnd), msg::kConnectionState, 0, kConn_Cancel);
}

void COfflineTipsWnd::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString& name = msg.pSender->GetName();
  if (name.CompareNoCase(u"close_btn") == 0) {
    Hide();
    PostCancel();
  } else if (name.CompareNoCase(u"retry_btn") == 0) {
    Hide();
    if (reconnect_) reconnect_(true);
  }
}

LRESULT COfflineTipsWnd::ResponseDefaultKeyEvent(WPARAM wParam) {
  if (wParam != VK_ESCAPE) return 0;
  PostCancel();
  Hide();
  return 1;
}
