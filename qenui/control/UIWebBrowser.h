// CWebBrowserUI: a browser area in a layout. The page engine is the host's
// browser view (WebKitGTK in the GTK back end, a recorder headless); the
// program's CWebBrowserEventHandler receives the navigation events.
#pragma once

#include <memory>

#include "qenui/control/UIControls.h"
#include "qenui/window/UIHost.h"

namespace DuiLib {

class CWebBrowserUI;

// Result codes of the host operations.
using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// The browser host's information record (a fixed 32-bit layout: 20 bytes).
struct TBrowserHostInfo {
  DWORD cbSize;
  DWORD dwFlags;
  DWORD dwDoubleClick;
  uint32_t pchHostCss;  // unused, 0
  uint32_t pchHostNS;   // unused, 0
};
static_assert(sizeof(TBrowserHostInfo) == 20, "host information record is 20 bytes");

// Event and host slots in the order the program uses them. Unhandled events
// do nothing; ShowContextMenu answers success (no browser menu).
class CWebBrowserEventHandler {
 public:
  virtual ~CWebBrowserEventHandler() = default;
  virtual void BeforeNavigate2(CWebBrowserUI* /*browser*/, const CDuiString& /*url*/, bool& /*cancel*/) {}
  virtual void DocumentComplete(CWebBrowserUI* /*browser*/, const CDuiString& /*url*/) {}
  virtual void NavigateError(CWebBrowserUI* /*browser*/, const CDuiString& /*url*/, int /*status*/, bool& /*cancel*/) {}
  virtual void NavigateComplete2(CWebBrowserUI* /*browser*/, const CDuiString& /*url*/) {}
  virtual void ProgressChange(long /*progress*/, long /*progressMax*/) {}
  virtual void NewWindow3(CWebBrowserUI* /*browser*/, bool& /*cancel*/, const CDuiString& /*url*/) {}
  virtual void CommandStateChange(long /*command*/, bool /*enable*/) {}
  virtual HRESULT ShowContextMenu() { return S_OK; }  // handled: no browser menu
  virtual HRESULT GetHostInfo(TBrowserHostInfo* /*info*/) { return E_NOTIMPL; }
};

class CWebBrowserUI : public CControlUI, private IBrowserViewEvents {
 public:
  ~CWebBrowserUI() override;
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetWebBrowserEventHandler(CWebBrowserEventHandler* pHandler) { m_pEventHandler = pHandler; }
  void SetAutoNavigation(bool bAuto = true) { m_bAutoNavi = bAuto; }
  bool IsAutoNavigation() const { return m_bAutoNavi; }
  void SetHomePage(LPCTSTR lpszUrl) { m_sHomePage = lpszUrl; }
  CDuiString GetHomePage() const { return m_sHomePage; }
  void GoHome() { Navigate2(m_sHomePage); }
  void GoBack();
  void GoForward();
  void Refresh();
  void Navigate2(LPCTSTR lpszUrl);
  // The engine object (the host's view); null before the control has a window.
  IBrowserView* GetWebBrowser2();
  CDuiString GetCurrentUrl() const;
  // The attribute of an element of the current page (see IBrowserView); empty when unreadable.
  bool GetElementAttribute(const CDuiString& elementId, const CDuiString& attribute, CDuiString* value,
                           bool* elementFound = nullptr);
  // Asks the handler for the host information (the back end applies it to the view).
  HRESULT QueryHostInfo(TBrowserHostInfo* info);
  void DoInit() override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetVisible(bool bVisible = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 private:
  bool OnBeforeNavigate(const CDuiString& url) override;
  void OnNavigateComplete(const CDuiString& url) override;
  void OnNavigateError(const CDuiString& url, int status) override;
  void OnNewWindow(const CDuiString& url) override;
  void OnCommandStateChange(long command, bool enable) override;
  void OnProgressChange(long progress, long progressMax) override;
  void UpdateBounds();

  std::unique_ptr<IBrowserView> m_pView;
  CWebBrowserEventHandler* m_pEventHandler = nullptr;
  bool m_bAutoNavi = false;
  CDuiString m_sHomePage;
};

}  // namespace DuiLib
