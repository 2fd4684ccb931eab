// The headless back end: the same windows, messages, timers and
// notifications with no display. A virtual clock that tests advance, fixed
// text metrics, a fake screen, cursor and keyboard, scripted answers for
// message boxes, modal windows and file/folder choosers, a recording tray,
// shell and browser. Used by default when no other host is set.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "qenui/window/UIHost.h"

namespace DuiLib {

class CHeadlessBrowserView;

class CHeadlessHost : public IWindowHost {
 public:
  CHeadlessHost();
  ~CHeadlessHost() override;

  // ---- virtual clock ----
  // Moves the clock forward by ms on the UI thread, dispatching every posted
  // message and every timer that falls due on the way, in time order.
  void Advance(uint64_t ms);
  // Moves the clock forward by ms with nothing dispatched: the time a
  // handler takes while it runs.
  void Spend(uint64_t ms);
  void SetIdleTimeoutMs(int ms) { m_idleTimeoutMs = ms; }  // real time a waiting loop tolerates with no work
  // When on (the default), a message loop with nothing to do but a pending
  // timer jumps the clock to that timer. When off, a waiting loop waits in
  // real time for posts from other threads and timers run only in Advance.
  void SetAutoAdvance(bool on) { m_autoAdvance = on; }

  // ---- fake screen and input ----
  void SetWorkArea(const RECT& rc) { m_workArea = rc; }
  void SetCursorPos(POINT pt) { m_cursor = pt; }
  void SetKeyDown(UINT vk, bool down);

  // ---- scripted answers ----
  void PushMessageBoxAnswer(int answer) { m_boxAnswers.push_back(answer); }
  struct BoxCall { HWND owner; CDuiString text, caption; UINT type; };
  const std::vector<BoxCall>& MessageBoxCalls() const { return m_boxCalls; }
  void PushFileChoice(std::vector<CDuiString> paths) { m_fileAnswers.push_back(std::move(paths)); }  // empty = cancel
  void PushFolderChoice(std::optional<CDuiString> folder) { m_folderAnswers.push_back(std::move(folder)); }
  std::vector<TFileChooser> FileChooserCalls() const { return m_fileCalls; }
  std::vector<CDuiString> FolderChooserCalls() const { return m_folderCalls; }
  // Runs `action` with the modal window's handle when the next modal loop starts.
  void PushModalScript(std::function<void(HWND)> action) { m_modalScripts.push_back(std::move(action)); }

  // ---- recording tray, shell and browser ----
  struct TrayCall { UINT op; TTrayIcon icon; };
  const std::vector<TrayCall>& TrayCalls() const { return m_trayCalls; }
  bool HasTrayIcon(UINT id) const { return m_trayIcons.count(id) != 0; }
  // Posts the tray icon's callback message as the shell would for a mouse message.
  bool ClickTray(UINT id, UINT mouseMsg);
  const std::vector<CDuiString>& ShellOpened() const { return m_shellOpened; }
  // The tooltip the library last gave a window (empty: none shown).
  CDuiString ToolTipOf(HWND hWnd) const {
    auto it = m_toolTips.find(hWnd);
    return it == m_toolTips.end() ? CDuiString() : it->second;
  }
  // What "open" answers from now on (true: a handler took it); recorded either way.
  void SetShellOpenAnswer(bool opened) { m_shellOpenAnswer = opened; }
  CHeadlessBrowserView* LastBrowserView() const { return m_lastBrowser; }
  // The edit control that has native text input now (null when none); a test
  // types through it as an input method would.
  ITextInputClient* TextInputClient() const { return m_textClient; }

  // ---- native window mirror ----
  struct NativeWindow {
    HWND parent = 0;
    CDuiString title;
    RECT rc;
    bool visible = false;
    int shown = -1;          // last SW_* command
    int invalidations = 0;
    int roundCorner = 0;
    BYTE opacity = 255;
  };
  const NativeWindow* Native(HWND h) const;

  // ---- IWindowHost ----
  bool CreateNativeWindow(HWND hWnd, HWND hParent, const CDuiString& title, DWORD style, DWORD exStyle,
                          const RECT& rcScreen) override;
  void DestroyNativeWindow(HWND hWnd) override;
  void ShowNativeWindow(HWND hWnd, int nCmdShow) override;
  void MoveNativeWindow(HWND hWnd, const RECT& rcScreen, HWND hInsertAfter) override;
  void SetNativeWindowTitle(HWND hWnd, const CDuiString& title) override;
  void SetNativeWindowShape(HWND hWnd, int roundCorner) override;
  void SetNativeWindowOpacity(HWND hWnd, BYTE alpha) override;
  void InvalidateNativeWindow(HWND hWnd, const RECT& rcClient) override;
  void ActivateNativeWindow(HWND hWnd) override;
  uint64_t NowMs() override;
  void WaitForWork(uint64_t deadlineMs) override;
  void Wake() override;
  RECT GetWorkArea() override { return m_workArea; }
  POINT GetCursorPos() override { return m_cursor; }
  bool IsKeyDown(UINT vk) override;
  SIZE MeasureText(const std::u16string& text, const TFontInfo& font) override;
  int MessageBox(HWND hOwner, const CDuiString& text, const CDuiString& caption, UINT type) override;
  bool ChooseFiles(HWND hOwner, const TFileChooser& request, std::vector<CDuiString>* paths) override;
  bool ChooseFolder(HWND hOwner, const CDuiString& title, CDuiString* folder) override;
  bool ShellOpen(const CDuiString& target) override;
  bool TrayIcon(UINT op, const TTrayIcon& icon) override;
  std::unique_ptr<IBrowserView> CreateBrowserView(HWND hWnd, IBrowserViewEvents* events) override;
  void OnModalLoopStarted(HWND hWnd) override;
  void SetNativeToolTip(HWND hWnd, const CDuiString& text, const RECT&) override { m_toolTips[hWnd] = text; }
  void BeginTextInput(HWND, const RECT&, const CDuiString& text, bool, ITextInputClient* client) override {
    m_textClient = client;
    m_textInputText = text;
  }
  // The text the native entry was last given.
  const CDuiString& TextInputText() const { return m_textInputText; }
  void EndTextInput(HWND, ITextInputClient* client) override { if (m_textClient == client) m_textClient = nullptr; }

  void ForgetBrowserView(CHeadlessBrowserView* v);

 private:
  // m_mu guards the clock and the wake flag (read by any thread); the rest is UI-thread only.
  std::mutex m_mu;
  std::condition_variable m_cv;
  uint64_t m_now = 1000;
  bool m_woken = false;
  int m_idleTimeoutMs = 10000;
  bool m_autoAdvance = true;
  RECT m_workArea;
  POINT m_cursor;
  std::set<UINT> m_keysDown;
  std::map<HWND, CDuiString> m_toolTips;
  std::deque<int> m_boxAnswers;
  std::vector<BoxCall> m_boxCalls;
  std::deque<std::vector<CDuiString>> m_fileAnswers;
  std::deque<std::optional<CDuiString>> m_folderAnswers;
  std::vector<TFileChooser> m_fileCalls;
  std::vector<CDuiString> m_folderCalls;
  std::deque<std::function<void(HWND)>> m_modalScripts;
  std::vector<TrayCall> m_trayCalls;
  std::map<UINT, TTrayIcon> m_trayIcons;
  std::vector<CDuiString> m_shellOpened;
  bool m_shellOpenAnswer = true;
  std::map<HWND, NativeWindow> m_windows;
  CHeadlessBrowserView* m_lastBrowser = nullptr;
  ITextInputClient* m_textClient = nullptr;
  CDuiString m_textInputText;
};

// Records navigations; tests fire the view's events by hand.
class CHeadlessBrowserView : public IBrowserView {
 public:
  CHeadlessBrowserView(CHeadlessHost* host, IBrowserViewEvents* events) : m_host(host), m_events(events) {}
  ~CHeadlessBrowserView() override { if (m_host) m_host->ForgetBrowserView(this); }
  void Navigate(const CDuiString& url) override;
  void GoBack() override;
  void GoForward() override;
  void Refresh() override { ++m_refreshes; }
  void SetBounds(const RECT& rc, bool visible) override { m_bounds = rc; m_visible = visible; }
  CDuiString GetUrl() const override { return m_index >= 0 ? m_history[m_index] : CDuiString(); }
  bool GetElementAttribute(const CDuiString& elementId, const CDuiString& attribute, CDuiString* value,
                           bool* elementFound) override;

  // The page's elements as a test sets them: (element id, attribute) → value.
  void SetElementAttribute(const CDuiString& elementId, const CDuiString& attribute, const CDuiString& value) {
    m_dom[{elementId.str(), attribute.str()}] = value;
  }
  void ClearPage() { m_dom.clear(); }

  const std::vector<CDuiString>& Navigations() const { return m_navigations; }
  int Refreshes() const { return m_refreshes; }
  IBrowserViewEvents* Events() const { return m_events; }
  // Completes the last navigation as the engine would.
  void CompleteNavigation();
  void FailNavigation(int status);
  void OpenNewWindow(const CDuiString& url) { if (m_events) m_events->OnNewWindow(url); }
  void ChangeCommandState(long command, bool enable) { if (m_events) m_events->OnCommandStateChange(command, enable); }

 private:
  CHeadlessHost* m_host;
  IBrowserViewEvents* m_events;
  std::vector<CDuiString> m_navigations;
  std::vector<CDuiString> m_history;
  int m_index = -1;
  int m_refreshes = 0;
  RECT m_bounds;
  bool m_visible = false;
  std::map<std::pair<std::u16string, std::u16string>, CDuiString> m_dom;
};

// A render target that records what was drawn (text runs, fills, images).
class CRecordingRenderTarget : public IRenderTarget {
 public:
  struct Op { char kind; RECT rc; std::u16string text; DWORD color; int font; };
  void PushClip(const RECT& rc, int) override { m_clips.push_back(rc); }
  void PopClip() override { if (!m_clips.empty()) m_clips.pop_back(); }
  void FillRect(const RECT& rc, DWORD c) override { m_ops.push_back({'F', rc, u"", c, 0}); }
  void DrawRect(const RECT& rc, int, DWORD c) override { m_ops.push_back({'R', rc, u"", c, 0}); }
  void FillRoundRect(const RECT& rc, int, DWORD c) override { m_ops.push_back({'F', rc, u"", c, 0}); }
  void DrawRoundRect(const RECT& rc, int, int, DWORD c) override { m_ops.push_back({'R', rc, u"", c, 0}); }
  void DrawLine(POINT a, POINT b, int, DWORD c) override { m_ops.push_back({'L', MakeRect(a.x, a.y, b.x, b.y), u"", c, 0}); }
  void DrawImage(const TImageInfo& img, const RECT& dest, const RECT&, BYTE) override {
    m_ops.push_back({'I', dest, u"", static_cast<DWORD>(img.nX * 65536 + img.nY), 0});
  }
  void DrawText(long x, long y, const std::u16string& text, const TFontInfo& f, DWORD c) override {
    m_ops.push_back({'T', MakeRect(x, y, x, y), text, c, f.iSize});
  }
  const std::vector<Op>& Ops() const { return m_ops; }
  std::u16string AllText() const;

 private:
  std::vector<Op> m_ops;
  std::vector<RECT> m_clips;
};

// The headless host in use (creates and installs one when another host is set
// or none is). Tests call this first.
CHeadlessHost* UseHeadlessHost();

}  // namespace DuiLib
