#include "ui/small_windows/about_wnd.h"

#include <memory>

#include "app/config/config_mgr.h"

using namespace DuiLib;

const char16_t kOwnershipNotice[] = u"Zelvik手游助手 版权所有";

namespace {

// The open about box (null while none is open).
CAboutWnd* g_about = nullptr;

void SetLabel(CPaintManagerUI& pm, LPCTSTR name, const std::u16string& text) {
  if (CControlUI* c = pm.FindControl(name)) c->SetText(text.c_str());
}

}  // namespace

void CAboutWnd::InitAfterCreate() {
  const CBase_FileVersionInfo& version = CConfigMgr::Instance()->GetVersionInfo();
  SetLabel(m_PaintManager, u"titlelabel", u"关于");
  SetLabel(m_PaintManager, u"verterlab", u"( " + version.GetFileVersionText() + u" )");
  SetLabel(m_PaintManager, u"copyrightlab",
           u"<f 0>" + std::u16string(kOwnershipNotice) + u"<n>" + version.GetLegalCopyright() + u"</f>");
  SetLabel(m_PaintManager, u"okbtn", u"确定");
}

void CAboutWnd::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString& name = msg.pSender->GetName();
  if (name.CompareNoCase(u"close_btn") == 0) Close(IDCANCEL);
  else if (name.CompareNoCase(u"okbtn") == 0) Close(IDOK);
}

void ShowAboutWindow(HWND parent) {
  if (g_about) return;
  auto about = std::make_unique<CAboutWnd>();
  g_about = about.get();
  about->InitWinParam(u"wnd_xml\\wnd_aboult.xml");
  if (about->Create(parent, u"AboutWnd", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 600, 400)) {
    about->CenterWindow();
    about->ShowModal();
  }
  g_about = nullptr;
}
