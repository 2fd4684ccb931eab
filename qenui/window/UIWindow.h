// The window layer: handles, the per-thread message queue, timers, the
// message loop and CWindowWnd.
//
// Threading contract:
// - A window belongs to the thread that created it (its UI thread).
// - IsWindow and PostMessage may be called from any thread. A post to a
//   handle that is not (or no longer) a window fails and runs the post's
//   deleter, so whatever the message owns is freed; a message whose window
//   dies before it is dispatched is freed the same way.
// - SendMessage, timers and everything else run on the window's UI thread;
//   SendMessage from another thread is refused (returns 0).
#pragma once

#include <functional>
#include <vector>

#include "qenui/window/UIHost.h"

namespace DuiLib {

// Frees what a posted message carries when it is not delivered.
using MessageDeleter = std::function<void(UINT uMsg, WPARAM wParam, LPARAM lParam)>;

bool IsWindow(HWND hWnd);
bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0, MessageDeleter deleter = nullptr);
LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
// Runs `call` on the UI thread of hWnd when its turn in that thread's queue
// comes (any thread may post). False, and `call` dropped unrun, when hWnd is
// not a window or dies first.
bool PostCall(HWND hWnd, std::function<void()> call);
void PostQuitMessage(int nExitCode);
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse);
bool KillTimer(HWND hWnd, UINT_PTR nIDEvent);
uint64_t GetTickCount64();
DWORD GetTickCount();

// Runs the calling thread's messages until WM_QUIT; returns the exit code.
int RunMessageLoop();
// Runs until `done` is true or WM_QUIT is pending (which stays pending).
// Returns false on WM_QUIT.
bool RunMessageLoopUntil(const std::function<bool()>& done);
// Dispatches what is ready now (posted messages and due timers) without waiting.
int PumpPendingMessages();
// The same, stopping after maxMessages (a host's idle source takes turns with its own events).
int PumpPendingMessages(int maxMessages);
// Due time of the calling thread's next timer (0 = none).
uint64_t GetNextTimerDue();
// True while WM_QUIT is pending on the calling thread.
bool IsQuitPending();
// Drops a pending WM_QUIT (a new loop after the old one ended).
void ResetQuit();

// Window geometry and state
bool GetWindowRect(HWND hWnd, RECT* rc);
bool GetClientRect(HWND hWnd, RECT* rc);
bool ClientToScreen(HWND hWnd, POINT* pt);
bool ScreenToClient(HWND hWnd, POINT* pt);
bool SetWindowPos(HWND hWnd, HWND hInsertAfter, int x, int y, int cx, int cy, UINT uFlags);
bool MoveWindow(HWND hWnd, int x, int y, int cx, int cy, bool bRepaint = true);
bool ShowWindow(HWND hWnd, int nCmdShow);
bool IsWindowVisible(HWND hWnd);
bool IsIconic(HWND hWnd);
bool IsZoomed(HWND hWnd);
bool EnableWindow(HWND hWnd, bool bEnable);
bool IsWindowEnabled(HWND hWnd);
bool DestroyWindow(HWND hWnd);
HWND GetParent(HWND hWnd);
HWND GetWindowOwner(HWND hWnd);
bool SetWindowText(HWND hWnd, LPCTSTR text);
CDuiString GetWindowText(HWND hWnd);
bool SetForegroundWindow(HWND hWnd);
bool BringWindowToTop(HWND hWnd);
HWND GetForegroundWindow();
HWND FindWindow(LPCTSTR lpClassName, LPCTSTR lpWindowName);
// The class a window was created with (its GetWindowClassName); empty when
// hWnd is not a window. Any thread.
CDuiString GetWindowClass(HWND hWnd);
bool IsHungAppWindow(HWND hWnd);  // windows of this process are never hung
enum : DWORD { LWA_COLORKEY = 0x1, LWA_ALPHA = 0x2 };
// Window opacity (LWA_ALPHA); a colour key is not supported and fails.
bool SetLayeredWindowAttributes(HWND hWnd, DWORD crKey, BYTE bAlpha, DWORD dwFlags);
bool GetCursorPos(POINT* pt);
short GetKeyState(int vk);

// Shell services through the host
int MessageBox(HWND hOwner, LPCTSTR text, LPCTSTR caption, UINT type);
bool GetOpenFileNames(HWND hOwner, const TFileChooser& request, std::vector<CDuiString>* paths);
bool BrowseForFolder(HWND hOwner, LPCTSTR title, CDuiString* folder);
bool ShellOpen(LPCTSTR target);
bool Shell_NotifyIcon(UINT op, const TTrayIcon& icon);

// Back end entry points: user input and paint requests for a window.
LRESULT DispatchNativeMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
void PaintWindow(HWND hWnd, IRenderTarget* rt, const RECT& rcPaint);
// The back end reports a move or resize done by the user or the window manager.
void NotifyNativeWindowRect(HWND hWnd, const RECT& rcScreen);

class CWindowWnd {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }  // NOLINT

  bool RegisterWindowClass() { return true; }
  bool RegisterSuperclass() { return true; }

  HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc);
  HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x = 0, int y = 0, int cx = 0, int cy = 0);
  HWND CreateDuiWindow(HWND hwndParent, LPCTSTR pstrWindowName, DWORD dwStyle = 0, DWORD dwExStyle = 0);
  void ShowWindow(bool bShow = true, bool bTakeFocus = true);
  // Runs a nested message loop until the window is closed; posted messages
  // and timers of every window keep flowing. Returns the value given to Close.
  UINT ShowModal();
  void Close(UINT nRet = IDOK);
  void CenterWindow();
  void SetIcon(UINT nRes);
  void ResizeClient(int cx = -1, int cy = -1);
  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  bool PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

  // Called by the message layer for every message of this window.
  LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

 protected:
  virtual LPCTSTR GetWindowClassName() const = 0;
  virtual LPCTSTR GetSuperClassName() const { return nullptr; }
  virtual UINT GetClassStyle() const { return 0; }
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND hWnd);
  // The default handling of a message no one consumed.
  LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = 0;
};

}  // namespace DuiLib
