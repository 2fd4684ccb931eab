#include "qenui/control/UIWebBrowser.h"

namespace DuiLib {

CWebBrowserUI::~CWebBrowserUI() { m_pView.reset(); }
LPCTSTR CWebBrowserUI::GetClass() const { return u"WebBrowserUI"; }
void* CWebBrowserUI::GetInterface(LPCTSTR n) {
  return CompareNoCase(n, u"WebBrowser") == 0 ? this : CControlUI::GetInterface(n);
}
IBrowserView* CWebBrowserUI::GetWebBrowser2() {
  if (!m_pView && m_pManager && m_pManager->GetPaintWindow()) {
    m_pView = CPaintManagerUI::GetHost()->CreateBrowserView(m_pManager->GetPaintWindow(), this);
    UpdateBounds();
  }
  return m_pView.get();
}
CDuiString CWebBrowserUI::GetCurrentUrl() const { return m_pView ? m_pView->GetUrl() : CDuiString(); }
void CWebBrowserUI::DoInit() {
  if (m_bAutoNavi && !m_sHomePage.IsEmpty()) Navigate2(m_sHomePage);
}
void CWebBrowserUI::Navigate2(LPCTSTR url) {
  if (!url || !*url) return;
  if (IBrowserView* v = GetWebBrowser2()) v->Navigate(url);
}
void CWebBrowserUI::GoBack() { if (IBrowserView* v = GetWebBrowser2()) v->GoBack(); }
void CWebBrowserUI::GoForward() { if (IBrowserView* v = GetWebBrowser2()) v->GoForward(); }
void CWebBrowserUI::Refresh() { if (IBrowserView* v = GetWebBrowser2()) v->Refresh(); }
bool CWebBrowserUI::GetElementAttribute(const CDuiString& id, const CDuiString& attribute, CDuiString* value,
                                        bool* elementFound) {
  if (elementFound) *elementFound = false;
  IBrowserView* v = GetWebBrowser2();
  return v && v->GetElementAttribute(id, attribute, value, elementFound);
}
HRESULT CWebBrowserUI::QueryHostInfo(TBrowserHostInfo* info) {
  return m_pEventHandler ? m_pEventHandler->GetHostInfo(info) : E_NOTIMPL;
}
void CWebBrowserUI::OnCommandStateChange(long command, bool enable) {
  if (m_pEventHandler) m_pEventHandler->CommandStateChange(command, enable);
}
void CWebBrowserUI::OnProgressChange(long progress, long progressMax) {
  if (m_pEventHandler) m_pEventHandler->ProgressChange(progress, progressMax);
}
void CWebBrowserUI::UpdateBounds() { if (m_pView) m_pView->SetBounds(m_rcItem, IsVisible()); }
void CWebBrowserUI::SetPos(RECT rc, bool b) { CControlUI::SetPos(rc, b); UpdateBounds(); }
void CWebBrowserUI::SetVisible(bool v) { CControlUI::SetVisible(v); UpdateBounds(); }
void CWebBrowserUI::SetInternVisible(bool v) { CControlUI::SetInternVisible(v); UpdateBounds(); }
void CWebBrowserUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (CompareNoCase(n, u"homepage") == 0) SetHomePage(v);
  else if (CompareNoCase(n, u"autonavi") == 0) SetAutoNavigation(CompareNoCase(v, u"true") == 0);
  else CControlUI::SetAttribute(n, v);
}
bool CWebBrowserUI::OnBeforeNavigate(const CDuiString& url) {
  bool cancel = false;
  if (m_pEventHandler) m_pEventHandler->BeforeNavigate2(this, url, cancel);
  return !cancel;
}
void CWebBrowserUI::OnNavigateComplete(const CDuiString& url) {
  if (m_pEventHandler) { m_pEventHandler->NavigateComplete2(this, url); m_pEventHandler->DocumentComplete(this, url); }
}
void CWebBrowserUI::OnNavigateError(const CDuiString& url, int status) {
  bool cancel = false;
  if (m_pEventHandler) m_pEventHandler->NavigateError(this, url, status, cancel);
}
void CWebBrowserUI::OnNewWindow(const CDuiString& url) {
  bool cancel = false;
  if (m_pEventHandler) m_pEventHandler->NewWindow3(this, cancel, url);
  if (!cancel) Navigate2(url);
}
}  // namespace DuiLib
