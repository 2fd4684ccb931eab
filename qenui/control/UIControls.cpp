#include "qenui/control/UIControls.h"

#include <algorithm>

#include "qenui/core/UIImage.h"
#include "qenui/core/UIResource.h"
#include "qenui/window/UIHost.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

static bool IsTrue(LPCTSTR v) { return CompareNoCase(v, u"true") == 0; }
static bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

// ---------------- CLabelUI ----------------

LPCTSTR CLabelUI::GetClass() const { return u"LabelUI"; }
void* CLabelUI::GetInterface(LPCTSTR n) { return Is(n, u"Label") ? this : CControlUI::GetInterface(n); }

TTextLayout CLabelUI::Layout(const RECT& rc, UINT style) {
  CPaintManagerUI* pm = m_pManager;
  TTextMarkup markup = m_bShowHtml ? ParseTextMarkup(m_sText.str()) : PlainTextRuns(m_sText.str());
  DWORD color = m_dwTextColor ? m_dwTextColor : (pm ? pm->GetDefaultFontColor() : 0xFF222222);
  if (!IsEnabled() && m_dwDisabledTextColor) color = m_dwDisabledTextColor;
  auto fonts = [pm](int i) { return pm ? *pm->GetFontInfo(i) : TFontInfo(); };
  auto measure = [](const std::u16string& t, const TFontInfo& f) { return CPaintManagerUI::GetHost()->MeasureText(t, f); };
  TTextLayout layout = LayoutText(markup, rc, style, m_iFont, color, fonts, measure);
  m_links.clear();
  for (auto& r : layout.runs) {
    if (r.link < 0) continue;
    if (pm) r.color = r.color == color ? pm->GetDefaultLinkFontColor() : r.color;
    m_links.emplace_back(r.rc, static_cast<size_t>(r.link) < markup.links.size() ? markup.links[r.link] : CDuiString());
  }
  return layout;
}

int CLabelUI::GetTextWidth() {
  TTextLayout l = Layout(MakeRect(0, 0, 100000, 1000), DT_SINGLELINE);
  return static_cast<int>(l.extent.cx);
}

SIZE CLabelUI::EstimateSize(SIZE szAvailable) {
  if (m_bAutoCalcWidth && m_cxyFixed.cx == 0)
    return MakeSize(GetTextWidth() + m_rcTextPadding.left + m_rcTextPadding.right, m_cxyFixed.cy);
  return CControlUI::EstimateSize(szAvailable);
}

void CLabelUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) { m_bFocused = event.Type == UIEVENT_SETFOCUS; return; }
  CControlUI::DoEvent(event);
}

void CLabelUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"align")) {
    m_uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
    if (Is(v, u"center")) m_uTextStyle |= DT_CENTER;
    else if (Is(v, u"right")) m_uTextStyle |= DT_RIGHT;
  } else if (Is(n, u"valign")) {
    m_uTextStyle &= ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
    if (Is(v, u"center")) m_uTextStyle |= DT_VCENTER;
    else if (Is(v, u"bottom")) m_uTextStyle |= DT_BOTTOM;
  } else if (Is(n, u"endellipsis")) {
    if (IsTrue(v)) m_uTextStyle |= DT_END_ELLIPSIS; else m_uTextStyle &= ~DT_END_ELLIPSIS;
  } else if (Is(n, u"multiline")) {
    if (IsTrue(v)) { m_uTextStyle &= ~DT_SINGLELINE; m_uTextStyle |= DT_WORDBREAK; }
    else { m_uTextStyle |= DT_SINGLELINE; m_uTextStyle &= ~DT_WORDBREAK; }
  } else if (Is(n, u"font")) SetFont(static_cast<int>(ParseInt(v)));
  else if (Is(n, u"textcolor")) SetTextColor(ParseColor(v));
  else if (Is(n, u"disabledtextcolor")) SetDisabledTextColor(ParseColor(v));
  else if (Is(n, u"textpadding")) SetTextPadding(ParseRect(v));
  else if (Is(n, u"showhtml")) SetShowHtml(IsTrue(v));
  else if (Is(n, u"autocalcwidth")) m_bAutoCalcWidth = IsTrue(v);
  else CControlUI::SetAttribute(n, v);
}

void CLabelUI::PaintText(HDC hDC) {
  if (m_sText.IsEmpty()) { m_links.clear(); return; }
  RECT rc = m_rcItem;
  rc.left += m_rcTextPadding.left;
  rc.top += m_rcTextPadding.top;
  rc.right -= m_rcTextPadding.right;
  rc.bottom -= m_rcTextPadding.bottom;
  TTextLayout layout = Layout(rc, m_uTextStyle);
  hDC->PushClip(rc, 0);
  for (auto& r : layout.runs) hDC->DrawText(r.rc.left, r.rc.top, r.text, r.font, r.color);
  hDC->PopClip();
}

// ---------------- CTextUI ----------------

CTextUI::CTextUI() { m_uTextStyle = DT_WORDBREAK; }
LPCTSTR CTextUI::GetClass() const { return u"TextUI"; }
void* CTextUI::GetInterface(LPCTSTR n) { return Is(n, u"Text") ? this : CLabelUI::GetInterface(n); }
UINT CTextUI::GetControlFlags() const { return IsEnabled() && !m_links.empty() ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u; }
CDuiString* CTextUI::GetLinkContent(int i) {
  if (i < 0 || i >= static_cast<int>(m_links.size())) return nullptr;
  return &m_links[i].second;
}
void CTextUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_BUTTONUP && IsEnabled()) {
    if (m_links.empty() && m_bShowHtml && m_pManager) {
      // No paint yet (headless): lay out now so the links have rectangles.
      RECT rc = m_rcItem;
      rc.left += m_rcTextPadding.left; rc.top += m_rcTextPadding.top;
      rc.right -= m_rcTextPadding.right; rc.bottom -= m_rcTextPadding.bottom;
      Layout(rc, m_uTextStyle);
    }
    for (size_t i = 0; i < m_links.size(); ++i) {
      if (m_links[i].first.Contains(event.ptMouse)) {
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_LINK, i);
        return;
      }
    }
  }
  CLabelUI::DoEvent(event);
}
void CTextUI::PaintText(HDC hDC) { CLabelUI::PaintText(hDC); }

// ---------------- CButtonUI ----------------

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }
LPCTSTR CButtonUI::GetClass() const { return u"ButtonUI"; }
void* CButtonUI::GetInterface(LPCTSTR n) { return Is(n, u"Button") ? this : CLabelUI::GetInterface(n); }
UINT CButtonUI::GetControlFlags() const { return (IsKeyboardEnabled() ? static_cast<UINT>(UIFLAG_TABSTOP) : 0u) | (IsEnabled() ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u); }
bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
  return true;
}
void CButtonUI::SetEnabled(bool bEnable) {
  CControlUI::SetEnabled(bEnable);
  if (!IsEnabled()) m_uButtonState = 0;
}
void CButtonUI::DoEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) {
    if (m_pParent) m_pParent->DoEvent(event);
    else CLabelUI::DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_SETFOCUS: case UIEVENT_KILLFOCUS: Invalidate(); CLabelUI::DoEvent(event); return;
    case UIEVENT_KEYDOWN:
      if (IsKeyboardEnabled() && IsEnabled() && (event.chKey == VK_SPACE || event.chKey == VK_RETURN)) { Activate(); return; }
      break;
    case UIEVENT_BUTTONDOWN: case UIEVENT_DBLCLICK:
      if (m_rcItem.Contains(event.ptMouse) && IsEnabled()) { m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED; Invalidate(); }
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_uButtonState & UISTATE_CAPTURED) {
        if (m_rcItem.Contains(event.ptMouse)) m_uButtonState |= UISTATE_PUSHED; else m_uButtonState &= ~UISTATE_PUSHED;
        Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_uButtonState & UISTATE_CAPTURED) {
        bool inside = m_rcItem.Contains(event.ptMouse);
        m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        if (inside) Activate();
      }
      return;
    case UIEVENT_CONTEXTMENU:
      if (IsContextMenuUsed() && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) { m_uButtonState |= UISTATE_HOT; Invalidate(); }
      return;
    case UIEVENT_MOUSELEAVE:
      if (IsEnabled()) { m_uButtonState &= ~UISTATE_HOT; Invalidate(); }
      return;
    case UIEVENT_SETCURSOR: return;
    default: break;
  }
  CLabelUI::DoEvent(event);
}
void CButtonUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"normalimage")) SetNormalImage(v);
  else if (Is(n, u"hotimage")) SetHotImage(v);
  else if (Is(n, u"pushedimage")) SetPushedImage(v);
  else if (Is(n, u"focusedimage")) m_sFocusedImage = v;
  else if (Is(n, u"disabledimage")) SetDisabledImage(v);
  else if (Is(n, u"foreimage")) m_sForeImage = v;
  else if (Is(n, u"hottextcolor")) m_dwHotTextColor = ParseColor(v);
  else if (Is(n, u"pushedtextcolor")) m_dwPushedTextColor = ParseColor(v);
  else if (Is(n, u"hotbkcolor")) m_dwHotBkColor = ParseColor(v);
  else CLabelUI::SetAttribute(n, v);
}
void CButtonUI::PaintStatusImage(HDC hDC) {
  if (IsFocused()) m_uButtonState |= UISTATE_FOCUSED; else m_uButtonState &= ~UISTATE_FOCUSED;
  if (!IsEnabled()) m_uButtonState |= UISTATE_DISABLED; else m_uButtonState &= ~UISTATE_DISABLED;
  bool drawn = false;
  if ((m_uButtonState & UISTATE_DISABLED) && !m_sDisabledImage.IsEmpty()) drawn = DrawImage(hDC, m_sDisabledImage);
  else if ((m_uButtonState & UISTATE_PUSHED) && !m_sPushedImage.IsEmpty()) drawn = DrawImage(hDC, m_sPushedImage);
  else if ((m_uButtonState & UISTATE_HOT) && !m_sHotImage.IsEmpty()) drawn = DrawImage(hDC, m_sHotImage);
  else if ((m_uButtonState & UISTATE_FOCUSED) && !m_sFocusedImage.IsEmpty()) drawn = DrawImage(hDC, m_sFocusedImage);
  if ((m_uButtonState & UISTATE_HOT) && m_dwHotBkColor) hDC->FillRect(m_rcItem, m_dwHotBkColor);
  if (!drawn && !m_sNormalImage.IsEmpty()) DrawImage(hDC, m_sNormalImage);
  if (!m_sForeImage.IsEmpty()) DrawImage(hDC, m_sForeImage);
}
void CButtonUI::PaintText(HDC hDC) {
  DWORD saved = m_dwTextColor;
  if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor) m_dwTextColor = m_dwPushedTextColor;
  else if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor) m_dwTextColor = m_dwHotTextColor;
  CLabelUI::PaintText(hDC);
  m_dwTextColor = saved;
}

// ---------------- COptionUI ----------------

COptionUI::~COptionUI() {
  if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}
LPCTSTR COptionUI::GetClass() const { return u"OptionUI"; }
void* COptionUI::GetInterface(LPCTSTR n) { return Is(n, u"Option") ? this : CButtonUI::GetInterface(n); }
void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  if (m_pManager && m_pManager != pManager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  CControlUI::SetManager(pManager, pParent, bInit);
  if (bInit && pManager && !m_sGroupName.IsEmpty()) pManager->AddOptionGroup(m_sGroupName, this);
}
void COptionUI::SetGroup(LPCTSTR name) {
  if (m_sGroupName == (name ? name : u"")) return;
  if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  m_sGroupName = name ? name : u"";
  if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->AddOptionGroup(m_sGroupName, this);
  Selected(m_bSelected, false);
}
void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
  if (m_bSelected == bSelected) return;
  m_bSelected = bSelected;
  if (m_bSelected) m_uButtonState |= UISTATE_SELECTED; else m_uButtonState &= ~UISTATE_SELECTED;
  if (m_pManager) {
    if (!m_sGroupName.IsEmpty()) {
      if (m_bSelected) {
        std::vector<CControlUI*> group;
        if (auto* g = m_pManager->GetOptionGroup(m_sGroupName)) group = *g;
        for (CControlUI* c : group) {
          auto* o = static_cast<COptionUI*>(c->GetInterface(u"Option"));
          if (o && o != this) o->Selected(false, bTriggerEvent);
        }
        if (bTriggerEvent) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
      }
    } else if (bTriggerEvent) {
      m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
    }
  }
  Invalidate();
}
bool COptionUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (!m_sGroupName.IsEmpty()) Selected(true);
  else Selected(!m_bSelected);
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
  return true;
}
void COptionUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"group")) SetGroup(v);
  else if (Is(n, u"selected")) Selected(IsTrue(v), false);
  else if (Is(n, u"selectedimage")) SetSelectedImage(v);
  else if (Is(n, u"selectedbkcolor")) m_dwSelectedBkColor = ParseColor(v);
  else if (Is(n, u"selectedtextcolor")) m_dwSelectedTextColor = ParseColor(v);
  else CButtonUI::SetAttribute(n, v);
}
void COptionUI::PaintStatusImage(HDC hDC) {
  if (m_bSelected) {
    if (m_dwSelectedBkColor) hDC->FillRect(m_rcItem, m_dwSelectedBkColor);
    if (!m_sSelectedImage.IsEmpty() && DrawImage(hDC, m_sSelectedImage)) return;
  }
  CButtonUI::PaintStatusImage(hDC);
}

LPCTSTR CCheckBoxUI::GetClass() const { return u"CheckBoxUI"; }
void* CCheckBoxUI::GetInterface(LPCTSTR n) { return Is(n, u"CheckBox") ? this : COptionUI::GetInterface(n); }

// ---------------- CProgressUI ----------------

LPCTSTR CProgressUI::GetClass() const { return u"ProgressUI"; }
void* CProgressUI::GetInterface(LPCTSTR n) { return Is(n, u"Progress") ? this : CLabelUI::GetInterface(n); }
void CProgressUI::SetValue(int v) {
  v = std::max(m_nMin, std::min(v, m_nMax));
  if (v == m_nValue) return;
  m_nValue = v;
  Invalidate();
}
void CProgressUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"foreimage")) m_sForeImage = v;
  else if (Is(n, u"forecolor")) m_dwForeColor = ParseColor(v);
  else if (Is(n, u"min")) SetMinValue(static_cast<int>(ParseInt(v)));
  else if (Is(n, u"max")) SetMaxValue(static_cast<int>(ParseInt(v)));
  else if (Is(n, u"value")) SetValue(static_cast<int>(ParseInt(v)));
  else if (Is(n, u"hor")) m_bHorizontal = IsTrue(v);
  else CLabelUI::SetAttribute(n, v);
}
void CProgressUI::PaintStatusImage(HDC hDC) {
  if (m_nMax <= m_nMin) return;
  RECT rc = m_rcItem;
  long span = m_bHorizontal ? rc.Width() : rc.Height();
  long filled = span * (m_nValue - m_nMin) / (m_nMax - m_nMin);
  if (m_bHorizontal) rc.right = rc.left + filled; else rc.top = rc.bottom - filled;
  if (rc.IsEmpty()) return;
  if (!m_sForeImage.IsEmpty()) {
    CDuiString modify;
    modify.Format(u"dest='%d,%d,%d,%d'", static_cast<int>(rc.left - m_rcItem.left), static_cast<int>(rc.top - m_rcItem.top),
                  static_cast<int>(rc.right - m_rcItem.left), static_cast<int>(rc.bottom - m_rcItem.top));
    if (DrawImage(hDC, m_sForeImage, modify)) return;
  }
  hDC->FillRect(rc, m_dwForeColor);
}

// ---------------- CAnimationUI / CSequenceUI ----------------

static constexpr UINT kAnimationTimer = 0xA11;

CAnimationUI::~CAnimationUI() { if (m_pManager) m_pManager->KillTimer(this, kAnimationTimer); }
LPCTSTR CAnimationUI::GetClass() const { return u"AnimationUI"; }
void* CAnimationUI::GetInterface(LPCTSTR n) { return Is(n, u"Animation") ? this : CLabelUI::GetInterface(n); }
int CAnimationUI::GetFrameCount() const {
  return m_frames.empty() ? m_nStripFrames : static_cast<int>(m_frames.size());
}
void CAnimationUI::StartAnimation(UINT uElapse) {
  m_uElapse = uElapse ? uElapse : 100;
  m_nFrame = 0;
  m_bPlaying = m_pManager && m_pManager->SetTimer(this, kAnimationTimer, m_uElapse);
  SetVisible(true);
  Invalidate();
}
void CAnimationUI::StopAnimation() {
  if (m_pManager) m_pManager->KillTimer(this, kAnimationTimer);
  m_bPlaying = false;
  m_nFrame = 0;
  Invalidate();
}
void CAnimationUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kAnimationTimer) {
    int n = GetFrameCount();
    if (n > 0) m_nFrame = (m_nFrame + 1) % n;
    Invalidate();
    return;
  }
  CLabelUI::DoEvent(event);
}
void CAnimationUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"frames")) {
    m_frames.clear();
    CDuiString all(v);
    int start = 0;
    while (start <= all.GetLength()) {
      int semi = all.Find(u';', start);
      CDuiString part = all.Mid(start, semi < 0 ? -1 : semi - start);
      if (!part.IsEmpty()) m_frames.push_back(part);
      if (semi < 0) break;
      start = semi + 1;
    }
  } else if (Is(n, u"framecount")) m_nStripFrames = static_cast<int>(ParseInt(v));
  else if (Is(n, u"stripimage")) m_sStrip = v;
  else if (Is(n, u"elapse")) m_uElapse = static_cast<UINT>(ParseInt(v));
  else if (Is(n, u"autoplay")) m_bAutoPlay = IsTrue(v);
  else CLabelUI::SetAttribute(n, v);
}
void CAnimationUI::PaintStatusImage(HDC hDC) {
  if (!m_frames.empty()) { DrawImage(hDC, m_frames[m_nFrame % m_frames.size()]); return; }
  if (m_nStripFrames <= 0 || m_sStrip.IsEmpty() || !m_pManager) return;
  TDrawInfo info = ParseDrawInfo(m_sStrip);
  auto img = m_pManager->GetImageEx(info.sFile, info.dwMask);
  if (!img) return;
  int w = img->nX / m_nStripFrames;
  DrawImageSliced(hDC, *img, m_rcItem, MakeRect(w * m_nFrame, 0, w * (m_nFrame + 1), img->nY), RECT(), 255, false);
}

LPCTSTR CSequenceUI::GetClass() const { return u"SequenceUI"; }
void* CSequenceUI::GetInterface(LPCTSTR n) { return Is(n, u"Sequence") ? this : CAnimationUI::GetInterface(n); }
void CSequenceUI::Sequence(UINT uElapse) {
  if (m_bPlaying) StopAnimation();
  else StartAnimation(uElapse);
}

// ---------------- CPngImageUI ----------------

LPCTSTR CPngImageUI::GetClass() const { return u"PngImageUI"; }
void* CPngImageUI::GetInterface(LPCTSTR n) { return Is(n, u"PngImage") ? this : CLabelUI::GetInterface(n); }
bool CPngImageUI::LoadImageFile() {
  if (m_sBkImage.IsEmpty()) { m_pImage.reset(); m_sLoaded.Empty(); return false; }
  if (m_sLoaded == m_sBkImage && m_pImage) return true;
  TDrawInfo info = ParseDrawInfo(m_sBkImage);
  std::string bytes, err;
  if (!CPaintManagerUI::LoadResourceFile(info.sFile, &bytes)) { m_pImage.reset(); return false; }
  m_pImage = DecodeImage(bytes, info.dwMask, &err);
  m_sLoaded = m_sBkImage;
  return m_pImage != nullptr;
}
void CPngImageUI::SetImage(std::shared_ptr<TImageInfo> image) {
  m_pImage = std::move(image);
  m_sLoaded.Empty();
  Invalidate();
}
bool CPngImageUI::SetImageBytes(const std::string& bytes) {
  std::string err;
  auto img = DecodeImage(bytes, 0, &err);
  if (!img) return false;
  SetImage(img);
  return true;
}
void CPngImageUI::PaintBkImage(HDC hDC) {
  if (!m_pImage && !m_sBkImage.IsEmpty()) LoadImageFile();
  if (!m_pImage) return;
  DrawImageSliced(hDC, *m_pImage, m_rcItem, RECT(), RECT(), 255, false);
}

// ---------------- CEditUI ----------------

CEditUI::CEditUI() {
  m_uTextStyle = DT_SINGLELINE | DT_VCENTER;
  m_rcTextPadding = MakeRect(4, 3, 4, 3);
}
CEditUI::~CEditUI() {
  if (m_bNativeInput && m_pManager) CPaintManagerUI::GetHost()->EndTextInput(m_pManager->GetPaintWindow(), this);
}
void CEditUI::OnTextInputKey(UINT vk) {
  TEventUI e;
  e.Type = UIEVENT_KEYDOWN;
  e.pSender = this;
  e.chKey = static_cast<char16_t>(vk);
  e.wParam = vk;
  Event(e);
}
LPCTSTR CEditUI::GetClass() const { return u"EditUI"; }
void* CEditUI::GetInterface(LPCTSTR n) { return Is(n, u"Edit") ? this : CLabelUI::GetInterface(n); }
UINT CEditUI::GetControlFlags() const { return IsEnabled() ? static_cast<UINT>(UIFLAG_SETCURSOR | UIFLAG_TABSTOP) : 0u; }
void CEditUI::SetText(LPCTSTR t) {
  CDuiString s(t);
  if (m_uMaxChar > 0 && s.GetLength() > static_cast<int>(m_uMaxChar)) s = s.Left(static_cast<int>(m_uMaxChar));
  CLabelUI::SetText(s);
  m_nCaret = m_sText.GetLength();
  // The program set the text while the native entry edits it (a focus
  // handler clearing a placeholder, a chosen suggestion): the entry shows
  // the new text, in the edit's colour now, or the next key press would
  // bring the old text back.
  if (m_bNativeInput && !m_bFromInput && m_pManager)
    CPaintManagerUI::GetHost()->BeginTextInput(m_pManager->GetPaintWindow(), m_rcItem, m_sText, m_bPasswordMode, this);
}
void CEditUI::SetSel(int start, int end) {
  (void)start;
  m_nCaret = end < 0 ? m_sText.GetLength() : std::min(end, m_sText.GetLength());
}
void CEditUI::ReplaceTextFromInput(LPCTSTR t) {
  if (m_bReadOnly) return;
  CDuiString old = m_sText;
  m_bFromInput = true;
  SetText(t);
  m_bFromInput = false;
  if (old != m_sText && m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}
void CEditUI::DoEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) {
    if (m_pParent) m_pParent->DoEvent(event); else CLabelUI::DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_SETFOCUS:
      m_bFocused = true;
      if (m_pManager && !m_bReadOnly) {
        m_bNativeInput = true;
        CPaintManagerUI::GetHost()->BeginTextInput(m_pManager->GetPaintWindow(), m_rcItem, m_sText, m_bPasswordMode, this);
      }
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      m_bFocused = false;
      if (m_bNativeInput && m_pManager) CPaintManagerUI::GetHost()->EndTextInput(m_pManager->GetPaintWindow(), this);
      m_bNativeInput = false;
      Invalidate();
      return;
    case UIEVENT_BUTTONDOWN: case UIEVENT_DBLCLICK:
      if (IsEnabled()) { if (!IsFocused()) SetFocus(); m_nCaret = m_sText.GetLength(); }
      return;
    case UIEVENT_MOUSEENTER: if (IsEnabled()) { m_uButtonState |= UISTATE_HOT; Invalidate(); } return;
    case UIEVENT_MOUSELEAVE: if (IsEnabled()) { m_uButtonState &= ~UISTATE_HOT; Invalidate(); } return;
    case UIEVENT_MOUSEMOVE: case UIEVENT_BUTTONUP: return;
    case UIEVENT_KEYDOWN: {
      if (!IsEnabled()) return;
      UINT key = event.chKey;
      if (key == VK_RETURN) { if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_RETURN); return; }
      if (key == VK_UP) { if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VK_UP); return; }
      if (key == VK_DOWN) { if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VK_DOWN); return; }
      if (key == VK_LEFT) { m_nCaret = std::max(0, m_nCaret - 1); Invalidate(); return; }
      if (key == VK_RIGHT) { m_nCaret = std::min(m_sText.GetLength(), m_nCaret + 1); Invalidate(); return; }
      if (key == VK_HOME) { m_nCaret = 0; return; }
      if (key == VK_END) { m_nCaret = m_sText.GetLength(); return; }
      if (m_bReadOnly) return;
      if (key == VK_BACK && m_nCaret > 0) {
        std::u16string s = m_sText.str();
        s.erase(static_cast<size_t>(m_nCaret - 1), 1);
        int caret = m_nCaret - 1;
        CLabelUI::SetText(s.c_str());
        m_nCaret = caret;
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
        return;
      }
      if (key == VK_DELETE && m_nCaret < m_sText.GetLength()) {
        std::u16string s = m_sText.str();
        s.erase(static_cast<size_t>(m_nCaret), 1);
        int caret = m_nCaret;
        CLabelUI::SetText(s.c_str());
        m_nCaret = caret;
        if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
      }
      return;
    }
    case UIEVENT_CHAR: {
      char16_t c = event.chKey;
      if (!IsEnabled() || m_bReadOnly || c < 0x20 || c == 0x7F) return;
      if (m_bNumberOnly && (c < u'0' || c > u'9')) return;
      if (m_uMaxChar > 0 && m_sText.GetLength() >= static_cast<int>(m_uMaxChar)) return;
      std::u16string s = m_sText.str();
      m_nCaret = std::max(0, std::min(m_nCaret, static_cast<int>(s.size())));
      s.insert(static_cast<size_t>(m_nCaret), 1, c);
      int caret = m_nCaret + 1;
      CLabelUI::SetText(s.c_str());
      m_nCaret = caret;
      if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
      return;
    }
    default: break;
  }
  CLabelUI::DoEvent(event);
}
void CEditUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"readonly")) SetReadOnly(IsTrue(v));
  else if (Is(n, u"password")) SetPasswordMode(IsTrue(v));
  else if (Is(n, u"numberonly")) SetNumberOnly(IsTrue(v));
  else if (Is(n, u"maxchar")) SetMaxChar(static_cast<UINT>(ParseInt(v)));
  else if (Is(n, u"normalimage")) m_sNormalImage = v;
  else if (Is(n, u"hotimage")) m_sHotImage = v;
  else if (Is(n, u"focusedimage")) m_sFocusedImage = v;
  else if (Is(n, u"disabledimage")) m_sDisabledImage = v;
  else if (Is(n, u"nativebkcolor")) m_dwEditBkColor = ParseColor(v);
  else if (Is(n, u"tipvalue")) m_sTipValue = v;
  else if (Is(n, u"tipvaluecolor")) m_dwTipColor = ParseColor(v);
  else CLabelUI::SetAttribute(n, v);
}
void CEditUI::PaintStatusImage(HDC hDC) {
  if (!IsEnabled() && !m_sDisabledImage.IsEmpty() && DrawImage(hDC, m_sDisabledImage)) return;
  if (IsFocused() && !m_sFocusedImage.IsEmpty() && DrawImage(hDC, m_sFocusedImage)) return;
  if ((m_uButtonState & UISTATE_HOT) && !m_sHotImage.IsEmpty() && DrawImage(hDC, m_sHotImage)) return;
  if (!m_sNormalImage.IsEmpty()) DrawImage(hDC, m_sNormalImage);
}
void CEditUI::PaintText(HDC hDC) {
  CDuiString saved = m_sText;
  bool html = m_bShowHtml;
  m_bShowHtml = false;
  DWORD color = m_dwTextColor;
  if (m_sText.IsEmpty() && !m_sTipValue.IsEmpty() && !IsFocused()) { m_sText = m_sTipValue; m_dwTextColor = m_dwTipColor; }
  else if (m_bPasswordMode) m_sText = CDuiString(std::u16string(static_cast<size_t>(m_sText.GetLength()), u'*'));
  CLabelUI::PaintText(hDC);
  m_sText = saved;
  m_dwTextColor = color;
  m_bShowHtml = html;
}

}  // namespace DuiLib
