// CPaintManagerUI: one per window. Holds the control tree, routes window
// messages to controls as events, delivers notifications, owns control
// timers, the font table and the image cache, and paints the tree.
//
// Threading: a paint manager and its controls belong to the UI thread of
// their window; nothing here is called from another thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "qenui/core/UIControl.h"
#include "qenui/core/UIImage.h"

namespace DuiLib {

struct TNotifyUI {
  CDuiString sType;
  CDuiString sVirtualWnd;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

class IMessageFilterUI {
 public:
  virtual ~IMessageFilterUI() = default;
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

class IWindowHost;

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();

  // ---- process-wide settings ----
  static void SetInstance(void* hInst);
  static void* GetInstance();
  static CDuiString GetInstancePath();          // folder of the executable, with a trailing '/'
  static void SetResourcePath(LPCTSTR pStrPath);  // a folder of skin files
  static const CDuiString& GetResourcePath();
  static bool SetResourceZip(LPCTSTR pstrZipPath);               // a zip file on disk
  static bool SetResourceZip(const void* pData, size_t nSize);   // a zip in memory (not copied)
  static bool SetResourceZipEmbedded();                          // the skin linked into the program
  // Reads a skin file ("wnd_xml\\x.xml", '/' or '\\', any case) or an absolute path.
  static bool LoadResourceFile(const CDuiString& name, std::string* bytes);
  static void SetHost(IWindowHost* host);       // the back end (GTK or headless)
  static IWindowHost* GetHost();
  static void MessageLoop();                    // runs until WM_QUIT on this thread
  static void Term();                           // frees the shared image cache and skin

  // ---- window binding ----
  void Init(HWND hWnd);
  HWND GetPaintWindow() const { return m_hWndPaint; }
  // The paint manager bound to a window of the calling thread, or null.
  static CPaintManagerUI* GetManagerOf(HWND hWnd);
  bool AttachDialog(CControlUI* pControl);
  bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
  CControlUI* GetRoot() const { return m_pRoot; }
  void NeedUpdate();
  // Lays the tree out now when something changed since the last layout.
  void UpdateLayout();
  void Invalidate(const RECT& rcItem);
  void Invalidate();

  // ---- window attributes from the layout ----
  SIZE GetInitSize() const { return m_szInitWindowSize; }
  void SetInitSize(int cx, int cy);
  SIZE GetMinInfo() const { return m_szMinWindow; }
  void SetMinInfo(int cx, int cy);
  SIZE GetMaxInfo() const { return m_szMaxWindow; }
  void SetMaxInfo(int cx, int cy);
  RECT GetCaptionRect() const { return m_rcCaption; }
  void SetCaptionRect(RECT rc) { m_rcCaption = rc; }
  RECT GetSizeBox() const { return m_rcSizeBox; }
  void SetSizeBox(RECT rc) { m_rcSizeBox = rc; }
  SIZE GetRoundCorner() const { return m_szRoundCorner; }
  void SetRoundCorner(int cx, int cy) { m_szRoundCorner = MakeSize(cx, cy); }
  void SetTransparent(int nOpacity) { m_nOpacity = nOpacity; }
  int GetTransparent() const { return m_nOpacity; }
  SIZE GetClientSize() const;
  void SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);

  // ---- fonts (index → font); GetFontInfo(-1) is the default font ----
  void SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
  bool AddFont(int index, LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
  TFontInfo* GetFontInfo(int index);
  SIZE MeasureText(const std::u16string& text, int fontIndex);
  DWORD GetDefaultFontColor() const { return m_dwDefaultFontColor; }
  void SetDefaultFontColor(DWORD c) { m_dwDefaultFontColor = c; }
  DWORD GetDefaultDisabledColor() const { return m_dwDefaultDisabledColor; }
  DWORD GetDefaultLinkFontColor() const { return m_dwDefaultLinkFontColor; }

  // ---- images (cached per process by name) ----
  std::shared_ptr<TImageInfo> GetImageEx(LPCTSTR bitmap, DWORD mask = 0);
  std::shared_ptr<TImageInfo> AddImage(LPCTSTR bitmap, std::shared_ptr<TImageInfo> image);  // in-memory picture
  void RemoveImage(LPCTSTR bitmap);

  // ---- default attributes per class ----
  void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
  LPCTSTR GetDefaultAttributeList(LPCTSTR pStrControlName) const;

  // ---- option groups ----
  bool AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);
  std::vector<CControlUI*>* GetOptionGroup(LPCTSTR pStrGroupName);
  void RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);

  // ---- focus, hover, capture ----
  CControlUI* GetFocus() const { return m_pFocus; }
  void SetFocus(CControlUI* pControl);
  CControlUI* GetHover() const { return m_pEventHover; }
  bool IsKeyDown(UINT vk) const;

  // ---- finding ----
  CControlUI* FindControl(POINT pt) const;
  CControlUI* FindControl(LPCTSTR pstrName) const;
  CControlUI* FindSubControlByPoint(CControlUI* pParent, POINT pt) const;
  CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const;
  CControlUI* FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass, int iIndex = 0);

  // ---- notifications ----
  bool AddNotifier(INotifyUI* pControl);
  bool RemoveNotifier(INotifyUI* pControl);
  void SendNotify(TNotifyUI& Msg, bool bAsync = false);
  void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0, bool bAsync = false);

  // ---- message filters ----
  bool AddMessageFilter(IMessageFilterUI* pFilter);
  bool RemoveMessageFilter(IMessageFilterUI* pFilter);

  // ---- control timers (delivered as UIEVENT_TIMER with wParam = id) ----
  bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
  bool KillTimer(CControlUI* pControl, UINT nTimerID);
  void KillTimer(CControlUI* pControl);
  void RemoveAllTimers();

  // ---- control life ----
  // Called by containers for a control taken out of the tree: the manager
  // forgets it and deletes it once the current event or notification is done.
  void ReapObjects(CControlUI* pControl);
  // Drops the references to the controls inside pControl, not to pControl
  // itself (a container about to lose every item).
  void ReapObjectsBelow(CControlUI* pControl);
  // bReap false: the caller has dropped the references already.
  void AddDelayedCleanup(CControlUI* pControl, bool bReap = true);
  // True for a control (or one inside a control) taken out of the tree during
  // the current event; code that continues after a notification checks it.
  bool IsControlRemoved(CControlUI* pControl) const;
  // True while an event or a notification is being handled (a control taken
  // out now is deleted when it is done).
  bool IsDispatching() const { return m_nDispatchDepth > 0; }
  void NameChanged(CControlUI* pControl);

  // ---- the window procedure of the tree ----
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  void Paint(IRenderTarget* rt, const RECT& rcPaint);

 private:
  struct TimerInfo { CControlUI* pSender; UINT nLocalID; UINT_PTR uWinTimer; };
  class DispatchScope;
  void BeginDispatch() { ++m_nDispatchDepth; }
  void EndDispatch();
  bool IsReaped(CControlUI* p) const;
  void SendMouseEvent(int type, CControlUI* target, POINT pt, WPARAM wParam, LPARAM lParam);
  // Hands the host the tooltip of the control under the pointer (the nearest
  // one up its parents that has one), when it differs from the one shown.
  void UpdateToolTip();

  HWND m_hWndPaint = 0;
  CControlUI* m_pRoot = nullptr;
  CControlUI* m_pFocus = nullptr;
  CControlUI* m_pEventHover = nullptr;
  CControlUI* m_pEventClick = nullptr;
  CControlUI* m_pEventKey = nullptr;
  bool m_bUpdateNeeded = true;
  bool m_bMouseCapture = false;
  POINT m_ptLastMousePos;
  CDuiString m_sToolTipShown;  // what the host was last given for this window
  RECT m_rcToolTip;            // and the rectangle of the control it belongs to
  SIZE m_szInitWindowSize;
  SIZE m_szMinWindow;
  SIZE m_szMaxWindow;
  SIZE m_szRoundCorner;
  RECT m_rcCaption;
  RECT m_rcSizeBox;
  int m_nOpacity = 255;
  std::map<int, TFontInfo> m_fonts;
  TFontInfo m_defaultFont;
  DWORD m_dwDefaultFontColor = 0xFF222222;
  DWORD m_dwDefaultDisabledColor = 0xFFA7A6AA;
  DWORD m_dwDefaultLinkFontColor = 0xFF1F6FD1;
  std::map<std::u16string, std::u16string> m_defaultAttrs;
  std::map<std::u16string, std::vector<CControlUI*>> m_optionGroups;
  std::vector<INotifyUI*> m_notifiers;
  std::vector<IMessageFilterUI*> m_filters;
  std::vector<TimerInfo> m_timers;
  UINT_PTR m_nextTimerId = 0x1000;
  std::vector<CControlUI*> m_delayedCleanup;
  std::set<CControlUI*> m_reaped;
  int m_nDispatchDepth = 0;
  std::vector<TNotifyUI> m_asyncNotify;
};

}  // namespace DuiLib
