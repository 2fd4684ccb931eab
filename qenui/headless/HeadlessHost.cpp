#include "qenui/headless/HeadlessHost.h"

#include <chrono>
#include <cstdio>

#include "qenui/core/UIManager.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

CHeadlessHost::CHeadlessHost() {
  m_workArea = MakeRect(0, 0, 1920, 1040);
  m_cursor = MakePoint(100, 100);
}
CHeadlessHost::~CHeadlessHost() = default;

CHeadlessHost* UseHeadlessHost() {
  if (auto* h = dynamic_cast<CHeadlessHost*>(CPaintManagerUI::GetHost())) return h;
  static CHeadlessHost host;
  CPaintManagerUI::SetHost(&host);
  return &host;
}

void CHeadlessHost::Advance(uint64_t ms) {
  uint64_t target;
  {
    std::lock_guard<std::mutex> lock(m_mu);
    target = m_now + ms;
  }
  for (;;) {
    PumpPendingMessages();
    uint64_t next = GetNextTimerDue();
    std::lock_guard<std::mutex> lock(m_mu);
    if (next != 0 && next <= target) {
      if (next > m_now) m_now = next;
      continue;
    }
    m_now = target;
    break;
  }
  PumpPendingMessages();
}

void CHeadlessHost::Spend(uint64_t ms) {
  std::lock_guard<std::mutex> lock(m_mu);
  m_now += ms;
}

void CHeadlessHost::SetKeyDown(UINT vk, bool down) {
  if (down) m_keysDown.insert(vk); else m_keysDown.erase(vk);
}
bool CHeadlessHost::IsKeyDown(UINT vk) { return m_keysDown.count(vk) != 0; }

uint64_t CHeadlessHost::NowMs() {
  std::lock_guard<std::mutex> lock(m_mu);
  return m_now;
}

void CHeadlessHost::WaitForWork(uint64_t deadlineMs) {
  std::unique_lock<std::mutex> lock(m_mu);
  if (m_woken) { m_woken = false; return; }
  if (deadlineMs != 0 && m_autoAdvance) {
    // Idle with a timer pending: the virtual clock jumps to it.
    if (deadlineMs > m_now) m_now = deadlineMs;
    return;
  }
  if (m_cv.wait_for(lock, std::chrono::milliseconds(m_idleTimeoutMs), [&] { return m_woken; })) {
    m_woken = false;
    return;
  }
  lock.unlock();
  std::fprintf(stderr, "qenui headless: message loop idle for %d ms with nothing to wait for; ending it\n",
               m_idleTimeoutMs);
  PostQuitMessage(-1);
}

void CHeadlessHost::Wake() {
  {
    std::lock_guard<std::mutex> lock(m_mu);
    m_woken = true;
  }
  m_cv.notify_all();
}

SIZE CHeadlessHost::MeasureText(const std::u16string& text, const TFontInfo& font) {
  // Fixed metrics: ASCII is half the pixel size wide, everything else the full size.
  long cx = 0;
  int size = font.iSize > 0 ? font.iSize : 12;
  for (char16_t c : text) cx += c < 0x80 ? (size + 1) / 2 : size;
  return MakeSize(cx, size + 4);
}

int CHeadlessHost::MessageBox(HWND hOwner, const CDuiString& text, const CDuiString& caption, UINT type) {
  m_boxCalls.push_back({hOwner, text, caption, type});
  if (m_boxAnswers.empty()) return IDCANCEL;
  int a = m_boxAnswers.front();
  m_boxAnswers.pop_front();
  return a;
}

bool CHeadlessHost::ChooseFiles(HWND, const TFileChooser& request, std::vector<CDuiString>* paths) {
  m_fileCalls.push_back(request);
  if (m_fileAnswers.empty()) return false;
  std::vector<CDuiString> a = std::move(m_fileAnswers.front());
  m_fileAnswers.pop_front();
  if (a.empty()) return false;
  *paths = std::move(a);
  return true;
}

bool CHeadlessHost::ChooseFolder(HWND, const CDuiString& title, CDuiString* folder) {
  m_folderCalls.push_back(title);
  if (m_folderAnswers.empty()) return false;
  std::optional<CDuiString> a = std::move(m_folderAnswers.front());
  m_folderAnswers.pop_front();
  if (!a) return false;
  *folder = *a;
  return true;
}

bool CHeadlessHost::ShellOpen(const CDuiString& target) {
  m_shellOpened.push_back(target);
  return m_shellOpenAnswer;
}

bool CHeadlessHost::TrayIcon(UINT op, const TTrayIcon& icon) {
  m_trayCalls.push_back({op, icon});
  switch (op) {
    case NIM_ADD:
      if (m_trayIcons.count(icon.uID)) return false;
      m_trayIcons[icon.uID] = icon;
      return true;
    case NIM_MODIFY:
      if (!m_trayIcons.count(icon.uID)) return false;
      m_trayIcons[icon.uID] = icon;
      return true;
    case NIM_DELETE: return m_trayIcons.erase(icon.uID) != 0;
    default: return false;
  }
}

bool CHeadlessHost::ClickTray(UINT id, UINT mouseMsg) {
  auto it = m_trayIcons.find(id);
  if (it == m_trayIcons.end() || !(it->second.uFlags & NIF_MESSAGE)) return false;
  return PostMessage(it->second.hWnd, it->second.uCallbackMessage, id, static_cast<LPARAM>(mouseMsg));
}

std::unique_ptr<IBrowserView> CHeadlessHost::CreateBrowserView(HWND, IBrowserViewEvents* events) {
  auto v = std::make_unique<CHeadlessBrowserView>(this, events);
  m_lastBrowser = v.get();
  return v;
}
void CHeadlessHost::ForgetBrowserView(CHeadlessBrowserView* v) {
  if (m_lastBrowser == v) m_lastBrowser = nullptr;
}

void CHeadlessHost::OnModalLoopStarted(HWND hWnd) {
  if (m_modalScripts.empty()) return;
  auto action = std::move(m_modalScripts.front());
  m_modalScripts.pop_front();
  action(hWnd);
}

const CHeadlessHost::NativeWindow* CHeadlessHost::Native(HWND h) const {
  auto it = m_windows.find(h);
  return it == m_windows.end() ? nullptr : &it->second;
}

bool CHeadlessHost::CreateNativeWindow(HWND hWnd, HWND hParent, const CDuiString& title, DWORD, DWORD, const RECT& rc) {
  NativeWindow w;
  w.parent = hParent;
  w.title = title;
  w.rc = rc;
  m_windows[hWnd] = w;
  return true;
}
void CHeadlessHost::DestroyNativeWindow(HWND hWnd) { m_windows.erase(hWnd); }
void CHeadlessHost::ShowNativeWindow(HWND hWnd, int nCmdShow) {
  auto it = m_windows.find(hWnd);
  if (it == m_windows.end()) return;
  it->second.visible = nCmdShow != SW_HIDE;
  it->second.shown = nCmdShow;
}
void CHeadlessHost::MoveNativeWindow(HWND hWnd, const RECT& rc, HWND) {
  auto it = m_windows.find(hWnd);
  if (it != m_windows.end()) it->second.rc = rc;
}
void CHeadlessHost::SetNativeWindowTitle(HWND hWnd, const CDuiString& title) {
  auto it = m_windows.find(hWnd);
  if (it != m_windows.end()) it->second.title = title;
}
void CHeadlessHost::SetNativeWindowShape(HWND hWnd, int roundCorner) {
  auto it = m_windows.find(hWnd);
  if (it != m_windows.end()) it->second.roundCorner = roundCorner;
}
void CHeadlessHost::SetNativeWindowOpacity(HWND hWnd, BYTE alpha) {
  auto it = m_windows.find(hWnd);
  if (it != m_windows.end()) it->second.opacity = alpha;
}
void CHeadlessHost::InvalidateNativeWindow(HWND hWnd, const RECT&) {
  auto it = m_windows.find(hWnd);
  if (it != m_windows.end()) ++it->second.invalidations;
}
void CHeadlessHost::ActivateNativeWindow(HWND) {}

void CHeadlessBrowserView::Navigate(const CDuiString& url) {
  if (m_events && !m_events->OnBeforeNavigate(url)) return;
  m_navigations.push_back(url);
  if (m_index + 1 < static_cast<int>(m_history.size())) m_history.resize(m_index + 1);
  m_history.push_back(url);
  m_index = static_cast<int>(m_history.size()) - 1;
}
void CHeadlessBrowserView::GoBack() {
  if (m_index > 0) { --m_index; m_navigations.push_back(m_history[m_index]); }
}
void CHeadlessBrowserView::GoForward() {
  if (m_index + 1 < static_cast<int>(m_history.size())) { ++m_index; m_navigations.push_back(m_history[m_index]); }
}
bool CHeadlessBrowserView::GetElementAttribute(const CDuiString& id, const CDuiString& attribute, CDuiString* value,
                                               bool* elementFound) {
  // An element is there when the test gave it any attribute.
  auto element = m_dom.lower_bound({id.str(), std::u16string()});
  if (elementFound) *elementFound = element != m_dom.end() && element->first.first == id.str();
  auto it = m_dom.find({id.str(), attribute.str()});
  if (it == m_dom.end()) return false;
  *value = it->second;
  return true;
}

void CHeadlessBrowserView::CompleteNavigation() {
  if (m_events && m_index >= 0) m_events->OnNavigateComplete(m_history[m_index]);
}
void CHeadlessBrowserView::FailNavigation(int status) {
  if (m_events && m_index >= 0) m_events->OnNavigateError(m_history[m_index], status);
}

std::u16string CRecordingRenderTarget::AllText() const {
  std::u16string out;
  for (auto& op : m_ops)
    if (op.kind == 'T') out += op.text;
  return out;
}

}  // namespace DuiLib
