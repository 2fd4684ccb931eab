// Three small controls of the program's layouts:
//   CButtonStateUI ("ButtonState")  a button that shows another text while
//       the mouse is over it ("hottext");
//   CLinkTextUI ("LinkText")        a text button that switches to its link
//       font ("linkfont", "#<hex index>") while hot or pressed;
//   CThumbnailImageUI ("ThumbnailImage") a picture file scaled into the
//       control and cropped around its centre (PlaceThumbnail).
//
// Threading: UI thread only.
#pragma once

#include "qenui/UIlib.h"

class CButtonStateUI : public DuiLib::CButtonUI {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ButtonStateUI"; }
  // Sets the normal text and shows it.
  void SetText(DuiLib::LPCTSTR pstrText) override;
  void SetAttribute(DuiLib::LPCTSTR pstrName, DuiLib::LPCTSTR pstrValue) override;
  void DoEvent(DuiLib::TEventUI& event) override;
  const DuiLib::CDuiString& GetHotText() const { return m_sHotText; }
  const DuiLib::CDuiString& GetNormalText() const { return m_sNormalText; }

 private:
  DuiLib::CDuiString m_sHotText;
  DuiLib::CDuiString m_sNormalText;
};

class CLinkTextUI : public DuiLib::CButtonUI {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"LinkTextUI"; }
  void SetAttribute(DuiLib::LPCTSTR pstrName, DuiLib::LPCTSTR pstrValue) override;
  void DoEvent(DuiLib::TEventUI& event) override;
  int GetLinkFont() const { return m_iLinkFont; }

 private:
  int m_iLinkFont = 0;
  bool m_bPlainKept = false;
  DuiLib::CDuiString m_sPlainText;
};

// Where a w x h picture goes in a W x H control: the part of the picture
// (source) drawn into the part of the control (dest, relative to the
// control's top-left corner). A picture larger than the control fills it,
// cropped around its centre, keeping its aspect; a picture smaller in a
// direction keeps its own size there, centred. Empty rectangles for empty
// sizes.
struct ThumbnailPlacement {
  DuiLib::RECT dest;
  DuiLib::RECT source;
};
ThumbnailPlacement PlaceThumbnail(int w, int h, int W, int H);

class CThumbnailImageUI : public DuiLib::CPngImageUI {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ThumbnailImageUI"; }
  // A background image given as an absolute file path is placed by
  // PlaceThumbnail; a skin picture is painted the library's way.
  void PaintBkImage(DuiLib::HDC hDC) override;
};
