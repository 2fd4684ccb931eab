#include "qenui/core/UIManager.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/module_path.h"
#include "qenui/core/UIContainer.h"
#include "qenui/core/UIResource.h"
#include "qenui/headless/HeadlessHost.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

namespace {

// Process-wide state. Skin and image cache are guarded by g_resMu: windows
// of several UI threads may load pictures.
std::mutex g_resMu;
void* g_instance = nullptr;
CDuiString g_resourcePath;
std::unique_ptr<CSkinArchive> g_archive;
std::map<std::u16string, std::shared_ptr<TImageInfo>> g_images;
std::atomic<IWindowHost*> g_host{nullptr};
std::unique_ptr<IWindowHost> g_defaultHost;

constexpr UINT kAsyncNotifyMsg = UIMSG_ASYNC_NOTIFY;

// Window → paint manager, per UI thread (managers live on their window's thread).
thread_local std::map<HWND, CPaintManagerUI*> t_managers;

std::u16string ImageKey(LPCTSTR name, DWORD mask) {
  std::u16string key = Utf8ToUtf16(FoldSkinName(Utf16ToUtf8(name ? name : u"")));
  if (mask) key += u"#" + CDuiString::FromInt(mask).str();
  return key;
}

bool IsAbsolutePath(const CDuiString& s) { return s.GetAt(0) == u'/'; }

bool IsInside(CControlUI* p, CControlUI* ancestor) {
  for (; p; p = p->GetParent())
    if (p == ancestor) return true;
  return false;
}

CControlUI* FindControlFromPoint(CControlUI* p, void* data) {
  return p->GetPos().Contains(*static_cast<POINT*>(data)) ? p : nullptr;
}
CControlUI* FindControlFromName(CControlUI* p, void* data) {
  return p->HasName(static_cast<const char16_t*>(data)) ? p : nullptr;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() {
  m_defaultFont.sFontName = u"Noto Sans CJK SC";
  m_defaultFont.iSize = 12;
}

CPaintManagerUI::~CPaintManagerUI() {
  auto it = t_managers.find(m_hWndPaint);
  if (it != t_managers.end() && it->second == this) t_managers.erase(it);
  RemoveAllTimers();
  for (auto* p : m_delayedCleanup) delete p;
  m_delayedCleanup.clear();
  delete m_pRoot;
  m_pRoot = nullptr;
}

// ---- process-wide ----

void CPaintManagerUI::SetInstance(void* hInst) { g_instance = hInst; }
void* CPaintManagerUI::GetInstance() { return g_instance; }

CDuiString CPaintManagerUI::GetInstancePath() {
  std::string p = platform::ExecutablePath();
  if (p.empty()) return CDuiString(u"./");
  return CDuiString::FromUtf8(p.substr(0, p.rfind('/') + 1));
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
  std::lock_guard<std::mutex> lock(g_resMu);
  g_resourcePath = pStrPath;
  g_resourcePath.Replace(u"\\", u"/");
  if (!g_resourcePath.IsEmpty() && g_resourcePath.GetAt(g_resourcePath.GetLength() - 1) != u'/') g_resourcePath += u'/';
}
const CDuiString& CPaintManagerUI::GetResourcePath() { return g_resourcePath; }

bool CPaintManagerUI::SetResourceZip(LPCTSTR pstrZipPath) {
  std::string err;
  auto a = CSkinArchive::OpenFile(CDuiString(pstrZipPath).ToUtf8(), &err);
  std::lock_guard<std::mutex> lock(g_resMu);
  if (!a) return false;
  g_archive = std::move(a);
  g_images.clear();
  return true;
}

bool CPaintManagerUI::SetResourceZip(const void* pData, size_t nSize) {
  std::string err;
  auto a = CSkinArchive::OpenMemory(pData, nSize, &err);
  std::lock_guard<std::mutex> lock(g_resMu);
  if (!a) return false;
  g_archive = std::move(a);
  g_images.clear();
  return true;
}

bool CPaintManagerUI::SetResourceZipEmbedded() {
  const void* data;
  size_t size;
  if (!GetEmbeddedSkin(&data, &size)) return false;
  return SetResourceZip(data, size);
}

bool CPaintManagerUI::LoadResourceFile(const CDuiString& name, std::string* bytes) {
  if (name.IsEmpty()) return false;
  if (IsAbsolutePath(name)) return ReadWholeFile(name.ToUtf8(), bytes);
  std::lock_guard<std::mutex> lock(g_resMu);
  std::string err;
  if (g_archive) return g_archive->Read(name.ToUtf8(), bytes, &err);
  CDuiString base = g_resourcePath.IsEmpty() ? GetInstancePath() : g_resourcePath;
  return ReadFolderFile(base.ToUtf8(), name.ToUtf8(), bytes);
}

void CPaintManagerUI::SetHost(IWindowHost* host) { g_host = host; }
IWindowHost* CPaintManagerUI::GetHost() {
  IWindowHost* h = g_host.load(std::memory_order_acquire);
  if (h) return h;
  static std::once_flag once;
  std::call_once(once, [] { g_defaultHost = std::make_unique<CHeadlessHost>(); });
  return g_defaultHost.get();
}

void CPaintManagerUI::MessageLoop() { RunMessageLoop(); }

void CPaintManagerUI::Term() {
  std::lock_guard<std::mutex> lock(g_resMu);
  g_images.clear();
  g_archive.reset();
}

// ---- binding ----

void CPaintManagerUI::Init(HWND hWnd) {
  auto it = t_managers.find(m_hWndPaint);
  if (it != t_managers.end() && it->second == this) t_managers.erase(it);
  m_hWndPaint = hWnd;
  if (hWnd) t_managers[hWnd] = this;
}

CPaintManagerUI* CPaintManagerUI::GetManagerOf(HWND hWnd) {
  if (!IsWindow(hWnd)) return nullptr;
  auto it = t_managers.find(hWnd);
  return it == t_managers.end() ? nullptr : it->second;
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
  if (!pControl) return false;
  SetFocus(nullptr);
  m_pEventKey = m_pEventHover = m_pEventClick = nullptr;
  if (m_pRoot) { AddDelayedCleanup(m_pRoot); }
  m_pRoot = pControl;
  m_bUpdateNeeded = true;
  bool ok = InitControls(pControl, nullptr);
  pControl->Init();
  return ok;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
  if (!pControl) return false;
  pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
  return true;
}

void CPaintManagerUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  if (m_hWndPaint) GetHost()->InvalidateNativeWindow(m_hWndPaint, RECT());
}
void CPaintManagerUI::Invalidate(const RECT& rcItem) {
  if (m_hWndPaint) GetHost()->InvalidateNativeWindow(m_hWndPaint, rcItem);
}
void CPaintManagerUI::Invalidate() { Invalidate(RECT()); }

void CPaintManagerUI::UpdateLayout() {
  if (!m_pRoot || !m_bUpdateNeeded) return;
  m_bUpdateNeeded = false;
  RECT rc;
  if (!GetClientRect(m_hWndPaint, &rc) || rc.IsEmpty()) {
    if (m_szInitWindowSize.cx > 0) rc = MakeRect(0, 0, m_szInitWindowSize.cx, m_szInitWindowSize.cy);
    else return;
  }
  m_pRoot->SetPos(rc, false);
}

// ---- window attributes ----

void CPaintManagerUI::SetInitSize(int cx, int cy) { m_szInitWindowSize = MakeSize(cx, cy); }
void CPaintManagerUI::SetMinInfo(int cx, int cy) { m_szMinWindow = MakeSize(cx, cy); }
void CPaintManagerUI::SetMaxInfo(int cx, int cy) { m_szMaxWindow = MakeSize(cx, cy); }
SIZE CPaintManagerUI::GetClientSize() const {
  RECT rc;
  if (!GetClientRect(m_hWndPaint, &rc)) return m_szInitWindowSize;
  return MakeSize(rc.Width(), rc.Height());
}

void CPaintManagerUI::SetWindowAttribute(LPCTSTR n, LPCTSTR v) {
  RECT r = ParseRect(v);
  if (CompareNoCase(n, u"size") == 0) SetInitSize(r.left, r.top);
  else if (CompareNoCase(n, u"caption") == 0) m_rcCaption = r;
  else if (CompareNoCase(n, u"sizebox") == 0) m_rcSizeBox = r;
  else if (CompareNoCase(n, u"roundcorner") == 0) SetRoundCorner(r.left, r.top);
  else if (CompareNoCase(n, u"mininfo") == 0) SetMinInfo(r.left, r.top);
  else if (CompareNoCase(n, u"maxinfo") == 0) SetMaxInfo(r.left, r.top);
  else if (CompareNoCase(n, u"alpha") == 0) SetTransparent(static_cast<int>(ParseInt(v)));
  else if (CompareNoCase(n, u"defaultfontcolor") == 0) m_dwDefaultFontColor = ParseColor(v);
  else if (CompareNoCase(n, u"disabledfontcolor") == 0) m_dwDefaultDisabledColor = ParseColor(v);
  else if (CompareNoCase(n, u"linkfontcolor") == 0) m_dwDefaultLinkFontColor = ParseColor(v);
}

// ---- fonts ----
// A font's metrics are measured when the font is first asked for: a window
// declares many fonts its first frame does not use, and measuring loads
// the font's face.

static void FillMetrics(TFontInfo& f) {
  SIZE sz = CPaintManagerUI::GetHost()->MeasureText(u"x", f);
  f.tm.tmHeight = sz.cy;
  f.tm.tmAveCharWidth = sz.cx;
  f.tm.tmAscent = sz.cy * 4 / 5;
}

void CPaintManagerUI::SetDefaultFont(LPCTSTR name, int nSize, bool bBold, bool bUnderline, bool bItalic) {
  m_defaultFont.sFontName = name;
  m_defaultFont.iSize = nSize;
  m_defaultFont.bBold = bBold;
  m_defaultFont.bUnderline = bUnderline;
  m_defaultFont.bItalic = bItalic;
  m_defaultFont.tm = {};
}

bool CPaintManagerUI::AddFont(int index, LPCTSTR name, int nSize, bool bBold, bool bUnderline, bool bItalic) {
  if (index < 0) return false;
  TFontInfo f;
  f.sFontName = name;
  f.iSize = nSize;
  f.bBold = bBold;
  f.bUnderline = bUnderline;
  f.bItalic = bItalic;
  m_fonts[index] = f;
  return true;
}

TFontInfo* CPaintManagerUI::GetFontInfo(int index) {
  auto it = m_fonts.find(index);
  TFontInfo* font = it != m_fonts.end() ? &it->second : &m_defaultFont;
  if (font->tm.tmHeight == 0) FillMetrics(*font);
  return font;
}

SIZE CPaintManagerUI::MeasureText(const std::u16string& text, int fontIndex) {
  return GetHost()->MeasureText(text, *GetFontInfo(fontIndex));
}

// ---- images ----

std::shared_ptr<TImageInfo> CPaintManagerUI::GetImageEx(LPCTSTR bitmap, DWORD mask) {
  if (!bitmap || !*bitmap) return nullptr;
  std::u16string key = ImageKey(bitmap, mask);
  {
    std::lock_guard<std::mutex> lock(g_resMu);
    auto it = g_images.find(key);
    if (it != g_images.end()) return it->second;
  }
  std::string bytes;
  if (!LoadResourceFile(bitmap, &bytes)) return nullptr;
  std::string err;
  auto img = DecodeImage(bytes, mask, &err);
  if (!img) return nullptr;
  std::lock_guard<std::mutex> lock(g_resMu);
  g_images[key] = img;
  return img;
}

std::shared_ptr<TImageInfo> CPaintManagerUI::AddImage(LPCTSTR bitmap, std::shared_ptr<TImageInfo> image) {
  if (!bitmap || !image) return nullptr;
  std::lock_guard<std::mutex> lock(g_resMu);
  g_images[ImageKey(bitmap, 0)] = image;
  return image;
}

void CPaintManagerUI::RemoveImage(LPCTSTR bitmap) {
  std::lock_guard<std::mutex> lock(g_resMu);
  for (auto it = g_images.begin(); it != g_images.end();) {
    std::u16string base = ImageKey(bitmap, 0);
    if (it->first == base || it->first.rfind(base + u"#", 0) == 0) it = g_images.erase(it);
    else ++it;
  }
}

// ---- default attributes ----

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR name, LPCTSTR list) {
  CDuiString key(name);
  key.MakeLower();
  m_defaultAttrs[key.str()] = list ? list : u"";
}
LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR name) const {
  CDuiString key(name);
  key.MakeLower();
  auto it = m_defaultAttrs.find(key.str());
  return it == m_defaultAttrs.end() ? nullptr : it->second.c_str();
}

// ---- option groups ----

bool CPaintManagerUI::AddOptionGroup(LPCTSTR group, CControlUI* p) {
  auto& v = m_optionGroups[group ? group : u""];
  if (std::find(v.begin(), v.end(), p) != v.end()) return false;
  v.push_back(p);
  return true;
}
std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(LPCTSTR group) {
  auto it = m_optionGroups.find(group ? group : u"");
  return it == m_optionGroups.end() ? nullptr : &it->second;
}
void CPaintManagerUI::RemoveOptionGroup(LPCTSTR group, CControlUI* p) {
  auto it = m_optionGroups.find(group ? group : u"");
  if (it == m_optionGroups.end()) return;
  it->second.erase(std::remove(it->second.begin(), it->second.end(), p), it->second.end());
  if (it->second.empty()) m_optionGroups.erase(it);
}

// ---- focus ----

void CPaintManagerUI::SetFocus(CControlUI* p) {
  if (p == m_pFocus) return;
  if (p && (p->GetManager() != this || !p->IsVisible() || !p->IsEnabled())) return;
  BeginDispatch();
  if (m_pFocus) {
    TEventUI e;
    e.Type = UIEVENT_KILLFOCUS;
    e.pSender = p;
    e.dwTimestamp = GetTickCount();
    CControlUI* old = m_pFocus;
    m_pFocus = nullptr;
    old->Event(e);
    SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
  }
  if (p) {
    m_pFocus = p;
    TEventUI e;
    e.Type = UIEVENT_SETFOCUS;
    e.pSender = p;
    e.dwTimestamp = GetTickCount();
    p->Event(e);
    if (m_pFocus == p) SendNotify(p, DUI_MSGTYPE_SETFOCUS);
  }
  EndDispatch();
}

bool CPaintManagerUI::IsKeyDown(UINT vk) const { return GetHost()->IsKeyDown(vk); }

// ---- finding ----

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  if (!m_pRoot) return nullptr;
  const_cast<CPaintManagerUI*>(this)->UpdateLayout();
  return m_pRoot->FindControl(FindControlFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}
CControlUI* CPaintManagerUI::FindControl(LPCTSTR name) const {
  if (!m_pRoot || !name) return nullptr;
  return m_pRoot->FindControl(FindControlFromName, const_cast<char16_t*>(name), UIFIND_ALL);
}
CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* parent, POINT pt) const {
  if (!parent) parent = m_pRoot;
  if (!parent) return nullptr;
  return parent->FindControl(FindControlFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}
CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, LPCTSTR name) const {
  if (!parent) parent = m_pRoot;
  if (!parent || !name) return nullptr;
  return parent->FindControl(FindControlFromName, const_cast<char16_t*>(name), UIFIND_ALL);
}
CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* parent, LPCTSTR cls, int iIndex) {
  if (!parent) parent = m_pRoot;
  if (!parent || !cls) return nullptr;
  struct Ctx { LPCTSTR cls; int index; } ctx{cls, iIndex};
  return parent->FindControl(
      [](CControlUI* p, void* d) -> CControlUI* {
        auto* c = static_cast<Ctx*>(d);
        if (CompareNoCase(p->GetClass(), c->cls) != 0) return nullptr;
        return c->index-- == 0 ? p : nullptr;
      },
      &ctx, UIFIND_ALL);
}

// ---- notifications ----

bool CPaintManagerUI::AddNotifier(INotifyUI* p) {
  if (!p || std::find(m_notifiers.begin(), m_notifiers.end(), p) != m_notifiers.end()) return false;
  m_notifiers.push_back(p);
  return true;
}
bool CPaintManagerUI::RemoveNotifier(INotifyUI* p) {
  auto it = std::find(m_notifiers.begin(), m_notifiers.end(), p);
  if (it == m_notifiers.end()) return false;
  m_notifiers.erase(it);
  return true;
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg, bool bAsync) {
  Msg.ptMouse = m_ptLastMousePos;
  Msg.dwTimestamp = GetTickCount();
  if (bAsync) {
    m_asyncNotify.push_back(Msg);
    if (!PostMessage(m_hWndPaint, kAsyncNotifyMsg, 0, 0)) m_asyncNotify.pop_back();
    return;
  }
  BeginDispatch();
  if (Msg.pSender) {
    for (auto& f : Msg.pSender->OnNotify)
      if (!f(&Msg)) { EndDispatch(); return; }
  }
  std::vector<INotifyUI*> copy = m_notifiers;
  for (INotifyUI* n : copy) {
    if (std::find(m_notifiers.begin(), m_notifiers.end(), n) == m_notifiers.end()) continue;
    n->Notify(Msg);
  }
  EndDispatch();
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR type, WPARAM wParam, LPARAM lParam, bool bAsync) {
  TNotifyUI msg;
  msg.pSender = pControl;
  msg.sType = type;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg, bAsync);
}

// ---- filters ----

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* p) {
  if (!p || std::find(m_filters.begin(), m_filters.end(), p) != m_filters.end()) return false;
  m_filters.push_back(p);
  return true;
}
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* p) {
  auto it = std::find(m_filters.begin(), m_filters.end(), p);
  if (it == m_filters.end()) return false;
  m_filters.erase(it);
  return true;
}

// ---- control timers ----

bool CPaintManagerUI::SetTimer(CControlUI* p, UINT nTimerID, UINT uElapse) {
  if (!p || !m_hWndPaint) return false;
  for (auto& t : m_timers)
    if (t.pSender == p && t.nLocalID == nTimerID) return DuiLib::SetTimer(m_hWndPaint, t.uWinTimer, uElapse) != 0;
  TimerInfo t{p, nTimerID, m_nextTimerId++};
  if (!DuiLib::SetTimer(m_hWndPaint, t.uWinTimer, uElapse)) return false;
  m_timers.push_back(t);
  return true;
}
bool CPaintManagerUI::KillTimer(CControlUI* p, UINT nTimerID) {
  for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
    if (it->pSender == p && it->nLocalID == nTimerID) {
      DuiLib::KillTimer(m_hWndPaint, it->uWinTimer);
      m_timers.erase(it);
      return true;
    }
  return false;
}
void CPaintManagerUI::KillTimer(CControlUI* p) {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (IsInside(it->pSender, p)) { DuiLib::KillTimer(m_hWndPaint, it->uWinTimer); it = m_timers.erase(it); }
    else ++it;
  }
}
void CPaintManagerUI::RemoveAllTimers() {
  for (auto& t : m_timers) DuiLib::KillTimer(m_hWndPaint, t.uWinTimer);
  m_timers.clear();
}

void CPaintManagerUI::UpdateToolTip() {
  CDuiString tip;
  RECT rc;
  for (CControlUI* c = m_pEventHover; c && tip.IsEmpty(); c = c->GetParent()) {
    tip = c->GetToolTip();
    rc = c->GetPos();
  }
  const bool same_place = rc.left == m_rcToolTip.left && rc.top == m_rcToolTip.top && rc.right == m_rcToolTip.right &&
                          rc.bottom == m_rcToolTip.bottom;
  if (!m_hWndPaint || (tip == m_sToolTipShown && (tip.IsEmpty() || same_place))) return;
  m_sToolTipShown = tip;
  m_rcToolTip = rc;
  GetHost()->SetNativeToolTip(m_hWndPaint, tip, rc);
}

// ---- control life ----

void CPaintManagerUI::ReapObjects(CControlUI* p) {
  if (!p) return;
  if (IsInside(m_pFocus, p)) m_pFocus = nullptr;
  // Notifications still to be sent never reach a control that is going.
  m_asyncNotify.erase(std::remove_if(m_asyncNotify.begin(), m_asyncNotify.end(),
                                     [&](const TNotifyUI& n) { return IsInside(n.pSender, p); }),
                      m_asyncNotify.end());
  if (IsInside(m_pEventHover, p)) m_pEventHover = nullptr;
  if (IsInside(m_pEventClick, p)) m_pEventClick = nullptr;
  if (IsInside(m_pEventKey, p)) m_pEventKey = nullptr;
  KillTimer(p);
  for (auto it = m_optionGroups.begin(); it != m_optionGroups.end();) {
    auto& v = it->second;
    v.erase(std::remove_if(v.begin(), v.end(), [&](CControlUI* c) { return IsInside(c, p); }), v.end());
    it = v.empty() ? m_optionGroups.erase(it) : std::next(it);
  }
  if (p == m_pRoot) m_pRoot = nullptr;
}

void CPaintManagerUI::ReapObjectsBelow(CControlUI* p) {
  if (!p) return;
  const auto below = [p](CControlUI* c) { return c && c != p && IsInside(c, p); };
  if (below(m_pFocus)) m_pFocus = nullptr;
  if (below(m_pEventHover)) m_pEventHover = nullptr;
  if (below(m_pEventClick)) m_pEventClick = nullptr;
  if (below(m_pEventKey)) m_pEventKey = nullptr;
  m_asyncNotify.erase(std::remove_if(m_asyncNotify.begin(), m_asyncNotify.end(),
                                     [&](const TNotifyUI& n) { return below(n.pSender); }),
                      m_asyncNotify.end());
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (below(it->pSender)) {
      DuiLib::KillTimer(m_hWndPaint, it->uWinTimer);
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = m_optionGroups.begin(); it != m_optionGroups.end();) {
    auto& v = it->second;
    v.erase(std::remove_if(v.begin(), v.end(), below), v.end());
    it = v.empty() ? m_optionGroups.erase(it) : std::next(it);
  }
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* p, bool bReap) {
  if (!p) return;
  if (bReap) ReapObjects(p);
  if (m_nDispatchDepth == 0) { delete p; return; }
  m_delayedCleanup.push_back(p);
}

void CPaintManagerUI::EndDispatch() {
  if (--m_nDispatchDepth > 0) return;
  while (!m_delayedCleanup.empty()) {
    std::vector<CControlUI*> doomed;
    doomed.swap(m_delayedCleanup);
    for (auto* p : doomed) delete p;
  }
}

void CPaintManagerUI::NameChanged(CControlUI*) {}

// ---- the window procedure ----

bool CPaintManagerUI::PreMessageHandler(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void CPaintManagerUI::SendMouseEvent(int type, CControlUI* target, POINT pt, WPARAM wParam, LPARAM lParam) {
  if (!target) return;
  TEventUI e;
  e.Type = type;
  e.pSender = target;
  e.ptMouse = pt;
  e.wParam = wParam;
  e.lParam = lParam;
  e.wKeyState = static_cast<WORD>(wParam);
  e.dwTimestamp = GetTickCount();
  target->Event(e);
}

void CPaintManagerUI::Paint(IRenderTarget* rt, const RECT& rcPaint) {
  if (!rt || !m_pRoot) return;
  UpdateLayout();
  RECT rc = rcPaint;
  if (rc.IsEmpty()) GetClientRect(m_hWndPaint, &rc);
  m_pRoot->DoPaint(rt, rc);
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (!m_hWndPaint) return false;
  for (IMessageFilterUI* f : std::vector<IMessageFilterUI*>(m_filters)) {
    bool handled = false;
    LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) { lRes = r; return true; }
  }
  struct Scope {
    CPaintManagerUI* m;
    explicit Scope(CPaintManagerUI* mm) : m(mm) { m->BeginDispatch(); }
    ~Scope() { m->EndDispatch(); }
  } scope(this);
  switch (uMsg) {
    case kAsyncNotifyMsg: {
      std::vector<TNotifyUI> pending;
      pending.swap(m_asyncNotify);
      for (auto& n : pending) SendNotify(n, false);
      return true;
    }
    case WM_PAINT: {
      auto* rt = reinterpret_cast<IRenderTarget*>(wParam);
      auto* rc = reinterpret_cast<RECT*>(lParam);
      Paint(rt, rc ? *rc : RECT());
      return true;
    }
    case WM_SIZE: {
      if (wParam == SIZE_MINIMIZED) return false;
      m_bUpdateNeeded = true;
      UpdateLayout();
      Invalidate();
      return false;
    }
    case WM_TIMER: {
      for (auto& t : m_timers) {
        if (t.uWinTimer != wParam) continue;
        TEventUI e;
        e.Type = UIEVENT_TIMER;
        e.pSender = t.pSender;
        e.wParam = t.nLocalID;
        e.dwTimestamp = GetTickCount();
        t.pSender->Event(e);
        return true;
      }
      return false;
    }
    case WM_MOUSEMOVE: {
      POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      m_ptLastMousePos = pt;
      CControlUI* c = FindControl(pt);
      if (c && c->GetManager() != this) c = nullptr;
      if (c != m_pEventHover) {
        CControlUI* old = m_pEventHover;
        m_pEventHover = c;
        if (old) SendMouseEvent(UIEVENT_MOUSELEAVE, old, pt, wParam, lParam);
        if (c && m_pEventHover == c) SendMouseEvent(UIEVENT_MOUSEENTER, c, pt, wParam, lParam);
      }
      if (m_pEventClick) SendMouseEvent(UIEVENT_MOUSEMOVE, m_pEventClick, pt, wParam, lParam);
      else if (m_pEventHover) SendMouseEvent(UIEVENT_MOUSEMOVE, m_pEventHover, pt, wParam, lParam);
      UpdateToolTip();
      return false;
    }
    case WM_MOUSELEAVE: {
      if (m_pEventHover) {
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        SendMouseEvent(UIEVENT_MOUSELEAVE, old, m_ptLastMousePos, wParam, lParam);
      }
      UpdateToolTip();
      return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
      POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      m_ptLastMousePos = pt;
      CControlUI* c = FindControl(pt);
      if (!c || c->GetManager() != this) return false;
      if (uMsg != WM_LBUTTONDBLCLK) c->SetFocus();
      if (c->GetManager() != this || IsReaped(c)) return false;
      if (uMsg != WM_RBUTTONDOWN) m_pEventClick = c;
      SendMouseEvent(uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : uMsg == WM_RBUTTONDOWN ? UIEVENT_RBUTTONDOWN : UIEVENT_DBLCLICK,
                     c, pt, wParam, lParam);
      return false;
    }
    case WM_LBUTTONUP: {
      POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      m_ptLastMousePos = pt;
      CControlUI* c = m_pEventClick;
      m_pEventClick = nullptr;
      if (c) SendMouseEvent(UIEVENT_BUTTONUP, c, pt, wParam, lParam);
      return false;
    }
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
      POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      if (uMsg == WM_CONTEXTMENU) ScreenToClient(m_hWndPaint, &pt);
      m_ptLastMousePos = pt;
      CControlUI* c = FindControl(pt);
      if (c && c->GetManager() == this) SendMouseEvent(UIEVENT_CONTEXTMENU, c, pt, wParam, lParam);
      return false;
    }
    case WM_MOUSEWHEEL: {
      POINT pt = MakePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      ScreenToClient(m_hWndPaint, &pt);
      CControlUI* c = FindControl(pt);
      if (!c || c->GetManager() != this) return false;
      int delta = static_cast<int16_t>(HIWORD(wParam));
      SendMouseEvent(UIEVENT_SCROLLWHEEL, c, pt, delta > 0 ? 0 : 1, lParam);
      return true;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
      if (!m_pFocus) return false;
      TEventUI e;
      e.Type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : uMsg == WM_KEYUP ? UIEVENT_KEYUP : UIEVENT_CHAR;
      e.pSender = m_pFocus;
      e.chKey = static_cast<char16_t>(wParam);
      e.wParam = wParam;
      e.lParam = lParam;
      e.wKeyState = static_cast<WORD>((IsKeyDown(VK_CONTROL) ? static_cast<UINT>(MK_CONTROL) : 0u) | (IsKeyDown(VK_SHIFT) ? static_cast<UINT>(MK_SHIFT) : 0u));
      e.dwTimestamp = GetTickCount();
      m_pEventKey = m_pFocus;
      m_pFocus->Event(e);
      return false;
    }
    default: return false;
  }
}

bool CPaintManagerUI::IsReaped(CControlUI* p) const { return IsControlRemoved(p); }

bool CPaintManagerUI::IsControlRemoved(CControlUI* p) const {
  for (; p; p = p->GetParent())
    if (std::find(m_delayedCleanup.begin(), m_delayedCleanup.end(), p) != m_delayedCleanup.end()) return true;
  return false;
}

}  // namespace DuiLib
