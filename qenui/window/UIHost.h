// IWindowHost: what a back end (GTK or headless) gives the library. Native
// windows mirror the library's windows by handle; the back end feeds user
// input back with DispatchNativeMessage (UIWindow.h) and asks for painting
// with PaintWindow. Everything here is called on the UI thread, except Wake.
#pragma once

#include <memory>
#include <vector>

#include "qenui/core/UIRender.h"

namespace DuiLib {

struct TFileChooser {
  CDuiString sTitle;
  CDuiString sFilterName;   // e.g. "Image Files (*.jpg;*.png)"
  CDuiString sPattern;      // e.g. "*.jpg;*.png"
  bool bMultiSelect = false;
  bool bSave = false;       // a save chooser (one file; sFileName is the proposed name)
  CDuiString sFileName;
};

struct TTrayIcon {
  HWND hWnd = 0;            // owner that receives uCallbackMessage
  UINT uID = 0;
  UINT uFlags = 0;          // NIF_*
  UINT uCallbackMessage = 0;
  CDuiString sTip;
  CDuiString sIcon;         // skin picture name or resource id as text
};

// The browser view behind CWebBrowserUI.
class IBrowserViewEvents {
 public:
  virtual ~IBrowserViewEvents() = default;
  // Return false to cancel the navigation.
  virtual bool OnBeforeNavigate(const CDuiString& url) = 0;
  virtual void OnNavigateComplete(const CDuiString& url) = 0;
  virtual void OnNavigateError(const CDuiString& url, int status) = 0;
  virtual void OnNewWindow(const CDuiString& url) = 0;
  // command 1 = forward, 2 = back; enable = whether that command is possible now.
  virtual void OnCommandStateChange(long command, bool enable) = 0;
  virtual void OnProgressChange(long progress, long progressMax) = 0;
};

class IBrowserView {
 public:
  virtual ~IBrowserView() = default;
  virtual void Navigate(const CDuiString& url) = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void Refresh() = 0;
  virtual void SetBounds(const RECT& rcClient, bool visible) = 0;
  virtual CDuiString GetUrl() const = 0;
  // Reads an attribute of the element with the given id in the current page,
  // looking into the frames one level down when the page itself has none.
  // False when there is no such element or attribute; `elementFound` (may be
  // null) tells which: true when the element is there without the attribute.
  virtual bool GetElementAttribute(const CDuiString& elementId, const CDuiString& attribute, CDuiString* value,
                                   bool* elementFound) = 0;
};

// An edit control that has the keyboard focus, seen by the back end's
// native text input (GTK: a GtkEntry placed over it for input methods).
class ITextInputClient {
 public:
  virtual ~ITextInputClient() = default;
  virtual void OnTextInput(const CDuiString& text) = 0;   // the whole new text
  virtual void OnTextInputKey(UINT vk) = 0;                // VK_RETURN, VK_UP, VK_DOWN, VK_ESCAPE
};

class IWindowHost {
 public:
  virtual ~IWindowHost() = default;

  // -- native windows --
  virtual bool CreateNativeWindow(HWND hWnd, HWND hParent, const CDuiString& title, DWORD style, DWORD exStyle,
                                  const RECT& rcScreen) = 0;
  virtual void DestroyNativeWindow(HWND hWnd) = 0;
  virtual void ShowNativeWindow(HWND hWnd, int nCmdShow) = 0;          // SW_*
  virtual void MoveNativeWindow(HWND hWnd, const RECT& rcScreen, HWND hInsertAfter) = 0;
  virtual void SetNativeWindowTitle(HWND hWnd, const CDuiString& title) = 0;
  virtual void SetNativeWindowShape(HWND hWnd, int roundCorner) = 0;
  virtual void SetNativeWindowOpacity(HWND hWnd, BYTE alpha) = 0;     // 255 = opaque
  virtual void InvalidateNativeWindow(HWND hWnd, const RECT& rcClient) = 0;
  virtual void ActivateNativeWindow(HWND hWnd) = 0;
  // Whether the window holds the keyboard focus now (false when unknown).
  virtual bool NativeWindowHasFocus(HWND) { return false; }

  // -- the UI thread's wait --
  virtual uint64_t NowMs() = 0;                       // monotonic milliseconds
  // Blocks until Wake, a native event was handled, or deadlineMs (0 = none).
  virtual void WaitForWork(uint64_t deadlineMs) = 0;
  virtual void Wake() = 0;                            // any thread
  // True when the host dispatches posted messages and timers itself (from
  // its event loop, with PumpPendingMessages); the library's loops then only
  // wait in WaitForWork and check their end.
  virtual bool DrainsPostedMessages() { return false; }

  // -- screen, pointer, keys, text --
  virtual RECT GetWorkArea() = 0;
  virtual POINT GetCursorPos() = 0;
  virtual bool IsKeyDown(UINT vk) = 0;
  virtual SIZE MeasureText(const std::u16string& text, const TFontInfo& font) = 0;

  // -- shell services --
  virtual int MessageBox(HWND hOwner, const CDuiString& text, const CDuiString& caption, UINT type) = 0;
  virtual bool ChooseFiles(HWND hOwner, const TFileChooser& request, std::vector<CDuiString>* paths) = 0;
  virtual bool ChooseFolder(HWND hOwner, const CDuiString& title, CDuiString* folder) = 0;
  // A file, folder or URL opened by the desktop's handler; false when none opens it.
  virtual bool ShellOpen(const CDuiString& target) = 0;
  virtual bool TrayIcon(UINT op, const TTrayIcon& icon) = 0;  // NIM_*
  virtual std::unique_ptr<IBrowserView> CreateBrowserView(HWND hWnd, IBrowserViewEvents* events) = 0;

  // Native text entry over an edit control while it has the focus (optional).
  virtual void BeginTextInput(HWND /*hWnd*/, const RECT& /*rcClient*/, const CDuiString& /*text*/, bool /*password*/,
                              ITextInputClient* /*client*/) {}
  virtual void EndTextInput(HWND /*hWnd*/, ITextInputClient* /*client*/) {}

  // The tooltip of the control the pointer is over in the window, with that
  // control's client rectangle: shown beside the pointer once it rests inside
  // the rectangle, as the desktop shows tooltips; empty text hides it.
  virtual void SetNativeToolTip(HWND /*hWnd*/, const CDuiString& /*text*/, const RECT& /*rcControl*/) {}

  // Called by the library when a modal loop starts for hWnd (scripted answers hook).
  virtual void OnModalLoopStarted(HWND /*hWnd*/) {}
};

}  // namespace DuiLib
