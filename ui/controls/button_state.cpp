#include "ui/controls/button_state.h"

#include <cmath>
#include <cstdlib>

using namespace DuiLib;

namespace {
bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }
bool IsMouseEvent(int type) { return type > UIEVENT__MOUSEBEGIN && type < UIEVENT__MOUSEEND; }
}  // namespace

// ---------------- CButtonStateUI ----------------

void CButtonStateUI::SetText(LPCTSTR pstrText) {
  m_sNormalText = pstrText;
  CButtonUI::SetText(pstrText);
}

void CButtonStateUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (Is(pstrName, u"text")) m_sNormalText = pstrValue;
  else if (Is(pstrName, u"hottext")) m_sHotText = pstrValue;
  CButtonUI::SetAttribute(pstrName, pstrValue);
}

void CButtonStateUI::DoEvent(TEventUI& event) {
  if (m_sHotText.IsEmpty()) {
    CButtonUI::DoEvent(event);
    return;
  }
  if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
    if (m_pParent) m_pParent->DoEvent(event);
    else CLabelUI::DoEvent(event);
    return;
  }
  if (event.Type == UIEVENT_MOUSEENTER && IsEnabled()) CButtonUI::SetText(m_sHotText);
  else if (event.Type == UIEVENT_MOUSELEAVE && IsEnabled()) CButtonUI::SetText(m_sNormalText);
  CButtonUI::DoEvent(event);
}

// ---------------- CLinkTextUI ----------------

void CLinkTextUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (!Is(pstrName, u"linkfont")) {
    CButtonUI::SetAttribute(pstrName, pstrValue);
    return;
  }
  std::string hex = CDuiString(pstrValue).ToUtf8();
  if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
  m_iLinkFont = static_cast<int>(std::strtol(hex.c_str(), nullptr, 16));
}

void CLinkTextUI::DoEvent(TEventUI& event) {
  if (!m_bPlainKept) {
    m_sPlainText = GetText();
    m_bPlainKept = true;
  }
  UINT before = m_uButtonState;
  CButtonUI::DoEvent(event);
  if (m_uButtonState == before) return;
  if ((m_uButtonState & (UISTATE_PUSHED | UISTATE_HOT)) && m_iLinkFont != 0) {
    CDuiString linked;
    linked.Format(u"{f %d}%s{/f}", m_iLinkFont, m_sPlainText.GetData());
    SetText(linked);
  } else {
    SetText(m_sPlainText);
  }
}

// ---------------- CThumbnailImageUI ----------------

ThumbnailPlacement PlaceThumbnail(int w, int h, int W, int H) {
  ThumbnailPlacement p{RECT(), RECT()};
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return p;
  p.dest = MakeRect(0, 0, W, H);
  p.source = MakeRect(0, 0, w, h);
  const double wr = static_cast<double>(w) / W;
  const double hr = static_cast<double>(h) / H;
  if (wr < 1) {
    p.dest.left = (W - w) / 2;
    p.dest.right = p.dest.left + w;
  }
  if (hr < 1) {
    p.dest.top = (H - h) / 2;
    p.dest.bottom = p.dest.top + h;
  }
  const double aspect = static_cast<double>(p.dest.Width()) / p.dest.Height();
  if (hr < wr && wr > 1) {
    long width = std::lround(aspect * h);
    p.source.left = std::labs(w - width) / 2;
    p.source.right = p.source.left + width;
  } else if (hr > wr && hr > 1) {
    long height = std::lround(w / aspect);
    p.source.top = std::labs(h - height) / 2;
    p.source.bottom = p.source.top + height;
  }
  return p;
}

void CThumbnailImageUI::PaintBkImage(HDC hDC) {
  if (m_sBkImage.IsEmpty() || m_sBkImage[0] != u'/') {
    CPngImageUI::PaintBkImage(hDC);
    return;
  }
  if (!LoadImageFile() || !m_pImage) return;
  ThumbnailPlacement p = PlaceThumbnail(m_pImage->nX, m_pImage->nY, static_cast<int>(m_rcItem.Width()),
                                        static_cast<int>(m_rcItem.Height()));
  if (p.dest.IsEmpty()) return;
  RECT dest = MakeRect(m_rcItem.left + p.dest.left, m_rcItem.top + p.dest.top, m_rcItem.left + p.dest.right,
                       m_rcItem.top + p.dest.bottom);
  hDC->DrawImage(*m_pImage, dest, p.source, 255);
}
