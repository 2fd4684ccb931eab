#include "qenui/window/UIWindow.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "qenui/core/UIManager.h"

namespace DuiLib {

namespace {

struct Posted {
  HWND hWnd;
  UINT uMsg;
  WPARAM wParam;
  LPARAM lParam;
  MessageDeleter deleter;
};

struct Timer {
  HWND hWnd;
  UINT_PTR id;
  UINT elapse;
  uint64_t due;
};

// One per UI thread. `mu` guards every field: posts arrive from any thread.
struct ThreadQueue {
  std::mutex mu;
  std::deque<Posted> posted;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;

  // Drops the timers of window h and moves its queued messages to `dropped`
  // (for the caller to free once `mu` is released). The caller holds `mu`.
  void ForgetWindow(HWND h, std::deque<Posted>& dropped) {
    timers.erase(std::remove_if(timers.begin(), timers.end(), [h](const Timer& t) { return t.hWnd == h; }),
                 timers.end());
    for (auto it = posted.begin(); it != posted.end();) {
      if (it->hWnd == h) { dropped.push_back(std::move(*it)); it = posted.erase(it); }
      else ++it;
    }
  }
};

struct ModalState {
  UINT result = IDCANCEL;
};

struct WindowEntry {
  CWindowWnd* wnd = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  std::thread::id thread;
  HWND parent = 0;
  CDuiString className;
  CDuiString title;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rc;
  RECT rcRestore;
  bool visible = false;
  bool enabled = true;
  bool minimized = false;
  bool maximized = false;
  bool destroying = false;
  std::shared_ptr<ModalState> modal;
};

// g_mu guards g_windows (the handle table). Lock order: g_mu before a queue's mu.
std::mutex g_mu;
std::unordered_map<HWND, WindowEntry> g_windows;
std::atomic<HWND> g_nextHandle{0x10000};
std::atomic<HWND> g_foreground{0};

thread_local std::shared_ptr<ThreadQueue> t_queue;

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (!t_queue) t_queue = std::make_shared<ThreadQueue>();
  return t_queue;
}

IWindowHost* Host() { return CPaintManagerUI::GetHost(); }

// Runs a copy of the entry through `fn` under the table lock; false when no such window.
template <typename Fn>
bool WithEntry(HWND h, Fn fn) {
  std::lock_guard<std::mutex> lock(g_mu);
  auto it = g_windows.find(h);
  if (it == g_windows.end()) return false;
  fn(it->second);
  return true;
}

CWindowWnd* OwnWindow(HWND h) {
  std::lock_guard<std::mutex> lock(g_mu);
  auto it = g_windows.find(h);
  if (it == g_windows.end() || it->second.thread != std::this_thread::get_id()) return nullptr;
  return it->second.wnd;
}

void FreePosted(Posted& p) {
  if (p.deleter) p.deleter(p.uMsg, p.wParam, p.lParam);
}

void Deliver(Posted& p) {
  CWindowWnd* w = OwnWindow(p.hWnd);
  if (!w) { FreePosted(p); return; }
  if (p.uMsg == UIMSG_CALL) {
    std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(p.lParam));
    if (call && *call) (*call)();
    return;
  }
  w->WindowProc(p.uMsg, p.wParam, p.lParam);
}

bool DispatchOne(const std::shared_ptr<ThreadQueue>& q) {
  Posted p;
  {
    std::lock_guard<std::mutex> lock(q->mu);
    if (!q->posted.empty()) {
      p = std::move(q->posted.front());
      q->posted.pop_front();
    } else {
      uint64_t now = Host()->NowMs();
      Timer* best = nullptr;
      for (auto& t : q->timers)
        if (t.due <= now && (!best || t.due < best->due)) best = &t;
      if (!best) return false;
      best->due = std::max(best->due + best->elapse, now + 1);
      p = Posted{best->hWnd, WM_TIMER, best->id, 0, nullptr};
    }
  }
  Deliver(p);
  return true;
}

uint64_t NextDue(const std::shared_ptr<ThreadQueue>& q) {
  std::lock_guard<std::mutex> lock(q->mu);
  uint64_t next = 0;
  for (auto& t : q->timers)
    if (next == 0 || t.due < next) next = t.due;
  return next;
}

void SendSize(HWND h, const RECT& rc, UINT kind) {
  SendMessage(h, WM_SIZE, kind, MAKELPARAM(static_cast<int>(rc.Width()), static_cast<int>(rc.Height())));
}

}  // namespace

bool IsWindow(HWND hWnd) {
  if (!hWnd) return false;
  std::lock_guard<std::mutex> lock(g_mu);
  auto it = g_windows.find(hWnd);
  return it != g_windows.end() && !it->second.destroying;
}

bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, MessageDeleter deleter) {
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_windows.find(hWnd);
    if (it != g_windows.end() && !it->second.destroying) {
      q = it->second.queue;
      std::lock_guard<std::mutex> qlock(q->mu);
      q->posted.push_back(Posted{hWnd, uMsg, wParam, lParam, std::move(deleter)});
    }
  }
  if (!q) {
    if (deleter) deleter(uMsg, wParam, lParam);
    return false;
  }
  Host()->Wake();
  return true;
}

bool PostCall(HWND hWnd, std::function<void()> call) {
  auto* held = new std::function<void()>(std::move(call));
  return PostMessage(hWnd, UIMSG_CALL, 0, reinterpret_cast<LPARAM>(held),
                     [](UINT, WPARAM, LPARAM lParam) { delete reinterpret_cast<std::function<void()>*>(lParam); });
}

LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* w = OwnWindow(hWnd);
  if (!w) return 0;
  return w->WindowProc(uMsg, wParam, lParam);
}

void PostQuitMessage(int nExitCode) {
  auto q = CurrentQueue();
  {
    std::lock_guard<std::mutex> lock(q->mu);
    q->quit = true;
    q->quitCode = nExitCode;
  }
  Host()->Wake();
}

uint64_t GetNextTimerDue() { return NextDue(CurrentQueue()); }

bool IsQuitPending() {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mu);
  return q->quit;
}

void ResetQuit() {
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mu);
  q->quit = false;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse) {
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_windows.find(hWnd);
    if (it == g_windows.end() || it->second.destroying) return 0;
    q = it->second.queue;
  }
  if (uElapse == 0) uElapse = 1;
  uint64_t due = Host()->NowMs() + uElapse;
  {
    std::lock_guard<std::mutex> lock(q->mu);
    for (auto& t : q->timers)
      if (t.hWnd == hWnd && t.id == nIDEvent) { t.elapse = uElapse; t.due = due; return nIDEvent ? nIDEvent : 1; }
    q->timers.push_back(Timer{hWnd, nIDEvent, uElapse, due});
  }
  Host()->Wake();
  return nIDEvent ? nIDEvent : 1;
}

bool KillTimer(HWND hWnd, UINT_PTR nIDEvent) {
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_windows.find(hWnd);
    if (it == g_windows.end()) return false;
    q = it->second.queue;
  }
  std::lock_guard<std::mutex> lock(q->mu);
  auto before = q->timers.size();
  q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                 [&](const Timer& t) { return t.hWnd == hWnd && t.id == nIDEvent; }),
                  q->timers.end());
  return q->timers.size() != before;
}

uint64_t GetTickCount64() { return Host()->NowMs(); }
DWORD GetTickCount() { return static_cast<DWORD>(Host()->NowMs()); }

bool RunMessageLoopUntil(const std::function<bool()>& done) {
  auto q = CurrentQueue();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(q->mu);
      if (q->quit) return false;
    }
    if (done && done()) return true;
    // A host that drains the queue from its own event loop (GTK: an idle
    // source) lets its events take turns with posted messages: here the
    // loop only waits and checks.
    if (!Host()->DrainsPostedMessages() && DispatchOne(q)) continue;
    Host()->WaitForWork(NextDue(q));
  }
}

int RunMessageLoop() {
  RunMessageLoopUntil(nullptr);
  auto q = CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mu);
  return q->quitCode;
}

int PumpPendingMessages() {
  auto q = CurrentQueue();
  int n = 0;
  while (DispatchOne(q)) ++n;
  return n;
}

int PumpPendingMessages(int maxMessages) {
  auto q = CurrentQueue();
  int n = 0;
  while (n < maxMessages && DispatchOne(q)) ++n;
  return n;
}

bool GetWindowRect(HWND h, RECT* rc) {
  return WithEntry(h, [&](WindowEntry& e) { *rc = e.rc; });
}
bool GetClientRect(HWND h, RECT* rc) {
  return WithEntry(h, [&](WindowEntry& e) { *rc = MakeRect(0, 0, e.rc.Width(), e.rc.Height()); });
}
bool ClientToScreen(HWND h, POINT* pt) {
  return WithEntry(h, [&](WindowEntry& e) { pt->x += e.rc.left; pt->y += e.rc.top; });
}
bool ScreenToClient(HWND h, POINT* pt) {
  return WithEntry(h, [&](WindowEntry& e) { pt->x -= e.rc.left; pt->y -= e.rc.top; });
}

bool SetWindowPos(HWND h, HWND hInsertAfter, int x, int y, int cx, int cy, UINT uFlags) {
  RECT old, now;
  bool show = false, hide = false;
  if (!WithEntry(h, [&](WindowEntry& e) {
        old = e.rc;
        RECT r = e.rc;
        if (!(uFlags & SWP_NOMOVE)) { r.right = x + r.Width(); r.bottom = y + r.Height(); r.left = x; r.top = y; }
        if (!(uFlags & SWP_NOSIZE)) { r.right = r.left + std::max(0, cx); r.bottom = r.top + std::max(0, cy); }
        e.rc = r;
        now = r;
        if (uFlags & SWP_SHOWWINDOW) { show = !e.visible; e.visible = true; }
        if (uFlags & SWP_HIDEWINDOW) { hide = e.visible; e.visible = false; }
        if (!(uFlags & SWP_NOZORDER) && hInsertAfter == HWND_TOPMOST) e.exStyle |= WS_EX_TOPMOST;
        if (!(uFlags & SWP_NOZORDER) && hInsertAfter == HWND_NOTOPMOST) e.exStyle &= ~WS_EX_TOPMOST;
      }))
    return false;
  Host()->MoveNativeWindow(h, now, (uFlags & SWP_NOZORDER) ? static_cast<HWND>(0) : hInsertAfter);
  if (show) Host()->ShowNativeWindow(h, (uFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (hide) Host()->ShowNativeWindow(h, SW_HIDE);
  if (old.Width() != now.Width() || old.Height() != now.Height()) SendSize(h, now, SIZE_RESTORED);
  return true;
}

bool MoveWindow(HWND h, int x, int y, int cx, int cy, bool) {
  return SetWindowPos(h, 0, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ShowWindow(HWND h, int nCmdShow) {
  bool wasVisible = false;
  RECT before, after;
  bool sized = false;
  UINT sizeKind = SIZE_RESTORED;
  RECT work = Host()->GetWorkArea();
  if (!WithEntry(h, [&](WindowEntry& e) {
        wasVisible = e.visible;
        before = e.rc;
        switch (nCmdShow) {
          case SW_HIDE: e.visible = false; break;
          case SW_MINIMIZE: case SW_SHOWMINIMIZED: e.minimized = true; e.visible = true; sizeKind = SIZE_MINIMIZED; sized = true; break;
          case SW_SHOWMAXIMIZED:
            if (!e.maximized) e.rcRestore = e.rc;
            e.maximized = true; e.minimized = false; e.visible = true; e.rc = work; sizeKind = SIZE_MAXIMIZED; sized = true; break;
          case SW_RESTORE:
            if (e.minimized) e.minimized = false;
            else if (e.maximized) { e.maximized = false; e.rc = e.rcRestore; }
            e.visible = true; sized = true; break;
          default: e.visible = true; break;
        }
        after = e.rc;
      }))
    return false;
  Host()->ShowNativeWindow(h, nCmdShow);
  if (before.left != after.left || before.top != after.top || before.right != after.right || before.bottom != after.bottom)
    Host()->MoveNativeWindow(h, after, 0);
  if (sized) SendSize(h, after, sizeKind);
  if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE && nCmdShow != SW_MINIMIZE &&
      nCmdShow != SW_SHOWMINIMIZED)
    g_foreground = h;
  if (nCmdShow == SW_HIDE && g_foreground == h) g_foreground = 0;
  return wasVisible;
}

bool IsWindowVisible(HWND h) { bool v = false; WithEntry(h, [&](WindowEntry& e) { v = e.visible; }); return v; }
bool IsIconic(HWND h) { bool v = false; WithEntry(h, [&](WindowEntry& e) { v = e.minimized; }); return v; }
bool IsZoomed(HWND h) { bool v = false; WithEntry(h, [&](WindowEntry& e) { v = e.maximized; }); return v; }
bool EnableWindow(HWND h, bool b) {
  bool was = false;
  if (!WithEntry(h, [&](WindowEntry& e) { was = !e.enabled; e.enabled = b; })) return false;
  return was;
}
bool IsWindowEnabled(HWND h) { bool v = false; WithEntry(h, [&](WindowEntry& e) { v = e.enabled; }); return v; }
HWND GetParent(HWND h) { HWND p = 0; WithEntry(h, [&](WindowEntry& e) { p = e.parent; }); return p; }
HWND GetWindowOwner(HWND h) { return GetParent(h); }
bool SetWindowText(HWND h, LPCTSTR text) {
  if (!WithEntry(h, [&](WindowEntry& e) { e.title = text; })) return false;
  Host()->SetNativeWindowTitle(h, text);
  return true;
}
CDuiString GetWindowText(HWND h) { CDuiString t; WithEntry(h, [&](WindowEntry& e) { t = e.title; }); return t; }
bool SetForegroundWindow(HWND h) {
  if (!IsWindow(h)) return false;
  g_foreground = h;
  Host()->ActivateNativeWindow(h);
  return true;
}
bool BringWindowToTop(HWND h) { return SetForegroundWindow(h); }
HWND GetForegroundWindow() { return g_foreground; }
CDuiString GetWindowClass(HWND hWnd) {
  std::lock_guard<std::mutex> lock(g_mu);
  auto it = g_windows.find(hWnd);
  return it != g_windows.end() ? it->second.className : CDuiString();
}

HWND FindWindow(LPCTSTR lpClassName, LPCTSTR lpWindowName) {
  std::lock_guard<std::mutex> lock(g_mu);
  HWND best = 0;
  for (auto& [h, e] : g_windows) {
    if (e.destroying) continue;
    if (lpClassName && e.className != lpClassName) continue;
    if (lpWindowName && e.title != lpWindowName) continue;
    if (!best || h < best) best = h;
  }
  return best;
}
bool IsHungAppWindow(HWND) { return false; }
bool SetLayeredWindowAttributes(HWND h, DWORD, BYTE bAlpha, DWORD dwFlags) {
  if (!IsWindow(h) || !(dwFlags & LWA_ALPHA)) return false;
  Host()->SetNativeWindowOpacity(h, bAlpha);
  return true;
}
bool GetCursorPos(POINT* pt) { *pt = Host()->GetCursorPos(); return true; }
short GetKeyState(int vk) { return Host()->IsKeyDown(static_cast<UINT>(vk)) ? static_cast<short>(0x8000) : 0; }

int MessageBox(HWND hOwner, LPCTSTR text, LPCTSTR caption, UINT type) {
  return Host()->MessageBox(hOwner, text, caption, type);
}
bool GetOpenFileNames(HWND hOwner, const TFileChooser& request, std::vector<CDuiString>* paths) {
  return Host()->ChooseFiles(hOwner, request, paths);
}
bool BrowseForFolder(HWND hOwner, LPCTSTR title, CDuiString* folder) { return Host()->ChooseFolder(hOwner, title, folder); }
bool ShellOpen(LPCTSTR target) { return Host()->ShellOpen(target); }
bool Shell_NotifyIcon(UINT op, const TTrayIcon& icon) { return Host()->TrayIcon(op, icon); }

LRESULT DispatchNativeMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  bool enabled = IsWindowEnabled(hWnd);
  // A window disabled by a modal child gets no user input.
  if (!enabled && ((uMsg >= WM_MOUSEMOVE && uMsg <= WM_MOUSEWHEEL) || (uMsg >= WM_KEYDOWN && uMsg <= WM_SYSKEYDOWN)))
    return 0;
  return SendMessage(hWnd, uMsg, wParam, lParam);
}

void PaintWindow(HWND hWnd, IRenderTarget* rt, const RECT& rcPaint) {
  RECT rc = rcPaint;
  SendMessage(hWnd, WM_PAINT, reinterpret_cast<WPARAM>(rt), reinterpret_cast<LPARAM>(&rc));
}

void NotifyNativeWindowRect(HWND hWnd, const RECT& rcScreen) {
  RECT old;
  if (!WithEntry(hWnd, [&](WindowEntry& e) { old = e.rc; e.rc = rcScreen; })) return;
  if (old.Width() != rcScreen.Width() || old.Height() != rcScreen.Height())
    SendSize(hWnd, rcScreen, IsZoomed(hWnd) ? SIZE_MAXIMIZED : SIZE_RESTORED);
}

bool DestroyWindow(HWND h) {
  CWindowWnd* w = nullptr;
  std::vector<HWND> owned;
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_windows.find(h);
    if (it == g_windows.end() || it->second.destroying || it->second.thread != std::this_thread::get_id()) return false;
    w = it->second.wnd;
    q = it->second.queue;
    for (auto& [oh, e] : g_windows)
      if (e.parent == h && !e.destroying) owned.push_back(oh);
  }
  for (HWND o : owned) DestroyWindow(o);
  w->WindowProc(WM_DESTROY, 0, 0);
  std::deque<Posted> dropped;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_windows.find(h);
    if (it != g_windows.end()) it->second.destroying = true;
    std::lock_guard<std::mutex> qlock(q->mu);
    q->ForgetWindow(h, dropped);
  }
  for (auto& p : dropped) FreePosted(p);
  Host()->DestroyNativeWindow(h);
  if (g_foreground == h) g_foreground = 0;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    g_windows.erase(h);
  }
  w->WindowProc(WM_NCDESTROY, 0, 0);
  return true;
}

// ---------------- CWindowWnd ----------------

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
  // A window object deleted while its window lives: forget the handle, its
  // timers and its queued messages (freeing what they carry), so nothing is
  // dispatched to freed memory.
  if (!m_hWnd) return;
  HWND h = m_hWnd;
  std::deque<Posted> dropped;
  bool erased = false;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    auto it = g_windows.find(h);
    if (it != g_windows.end() && it->second.wnd == this) {
      std::shared_ptr<ThreadQueue> q = it->second.queue;
      g_windows.erase(it);
      erased = true;
      std::lock_guard<std::mutex> qlock(q->mu);
      q->ForgetWindow(h, dropped);
    }
  }
  for (auto& p : dropped) FreePosted(p);
  if (erased) {
    Host()->DestroyNativeWindow(h);
    if (g_foreground == h) g_foreground = 0;
  }
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc) {
  return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.Width(), rc.Height());
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx, int cy) {
  HWND h = g_nextHandle.fetch_add(1);
  WindowEntry e;
  e.wnd = this;
  e.queue = CurrentQueue();
  e.thread = std::this_thread::get_id();
  e.parent = hwndParent;
  e.className = GetWindowClassName();
  e.title = pstrName;
  e.style = dwStyle;
  e.exStyle = dwExStyle;
  e.rc = MakeRect(x, y, x + std::max(0, cx), y + std::max(0, cy));
  e.rcRestore = e.rc;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    g_windows[h] = e;
  }
  m_hWnd = h;
  if (!Host()->CreateNativeWindow(h, hwndParent, pstrName ? pstrName : u"", dwStyle, dwExStyle, e.rc)) {
    std::lock_guard<std::mutex> lock(g_mu);
    g_windows.erase(h);
    m_hWnd = 0;
    return 0;
  }
  if (WindowProc(WM_CREATE, 0, 0) == -1) {
    DestroyWindow(h);
    return 0;
  }
  if (dwStyle & WS_VISIBLE) DuiLib::ShowWindow(h, SW_SHOW);
  return h;
}

HWND CWindowWnd::CreateDuiWindow(HWND hwndParent, LPCTSTR pstrWindowName, DWORD dwStyle, DWORD dwExStyle) {
  return Create(hwndParent, pstrWindowName, dwStyle, dwExStyle, 0, 0, 0, 0);
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
  if (!m_hWnd) return;
  DuiLib::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  HWND h = m_hWnd;
  if (!h) return static_cast<UINT>(-1);
  auto state = std::make_shared<ModalState>();
  HWND owner = 0;
  WithEntry(h, [&](WindowEntry& e) { e.modal = state; owner = e.parent; });
  if (owner) DuiLib::EnableWindow(owner, false);
  DuiLib::ShowWindow(h, SW_SHOWNORMAL);
  Host()->OnModalLoopStarted(h);
  RunMessageLoopUntil([h] { return !IsWindow(h); });
  if (owner && IsWindow(owner)) {
    DuiLib::EnableWindow(owner, true);
    SetForegroundWindow(owner);
  }
  return state->result;
}

void CWindowWnd::Close(UINT nRet) {
  if (!m_hWnd) return;
  WithEntry(m_hWnd, [&](WindowEntry& e) { if (e.modal) e.modal->result = nRet; });
  PostMessage(WM_CLOSE, nRet, 0);
}

void CWindowWnd::CenterWindow() {
  RECT rc, area;
  if (!GetWindowRect(m_hWnd, &rc)) return;
  HWND owner = GetWindowOwner(m_hWnd);
  area = Host()->GetWorkArea();
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &area);
  long x = area.left + (area.Width() - rc.Width()) / 2;
  long y = area.top + (area.Height() - rc.Height()) / 2;
  RECT work = Host()->GetWorkArea();
  x = std::max(work.left, std::min(x, work.right - rc.Width()));
  y = std::max(work.top, std::min(y, work.bottom - rc.Height()));
  SetWindowPos(m_hWnd, 0, static_cast<int>(x), static_cast<int>(y), -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT) {}

void CWindowWnd::ResizeClient(int cx, int cy) {
  RECT rc;
  if (!GetWindowRect(m_hWnd, &rc)) return;
  if (cx < 0) cx = static_cast<int>(rc.Width());
  if (cy < 0) cy = static_cast<int>(rc.Height());
  SetWindowPos(m_hWnd, 0, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DuiLib::SendMessage(m_hWnd, uMsg, wParam, lParam);
}
bool CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DuiLib::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_NCDESTROY) {
    HWND h = m_hWnd;
    m_hWnd = 0;
    OnFinalMessage(h);
    return 0;
  }
  return HandleMessage(uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(uMsg, wParam, lParam);
}

LRESULT CWindowWnd::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM) {
  switch (uMsg) {
    case WM_CLOSE: DestroyWindow(m_hWnd); return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: DuiLib::ShowWindow(m_hWnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: DuiLib::ShowWindow(m_hWnd, SW_SHOWMAXIMIZED); break;
        case SC_RESTORE: DuiLib::ShowWindow(m_hWnd, SW_RESTORE); break;
        case SC_CLOSE: PostMessage(WM_CLOSE, 0, 0); break;
        default: break;
      }
      return 0;
    default: return 0;
  }
}

void CWindowWnd::OnFinalMessage(HWND) {}

}  // namespace DuiLib
