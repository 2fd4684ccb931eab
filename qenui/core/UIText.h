// Text markup of labels and list items, and its layout into lines.
//
// Tags (either bracket style): <f n>/{f n} font index n, <c #rrggbb>/{c ..}
// colour, <b> <i> <u> bold/italic/underline, <a [target]>/{a [target]} link
// (raises "link"), <n>/{n} line break; each closes with </x> or {/x}.
// "<<" and "{{" stand for a literal "<" and "{". A tag the parser does not
// know is kept as literal text, so nothing of the input is lost.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "qenui/core/UIRender.h"

namespace DuiLib {

struct TTextRun {
  std::u16string text;
  int font = -1;           // font table index, -1 = the control's font
  DWORD color = 0;         // 0 = the control's colour
  bool bold = false, italic = false, underline = false;
  int link = -1;           // index into the link targets, -1 = none
  bool lineBreak = false;  // this run is a line break
};

struct TTextMarkup {
  std::vector<TTextRun> runs;
  std::vector<CDuiString> links;  // target text of each link (empty when none given)
};

TTextMarkup ParseTextMarkup(const std::u16string& text);
// Plain text as one run (markup off).
TTextMarkup PlainTextRuns(const std::u16string& text);

// Makes text from the phone or the web safe to put inside markup.
CDuiString EscapeMarkup(const CDuiString& plain);

// A run placed by the layout, in the coordinates of the given rectangle.
struct TPlacedRun {
  RECT rc;
  std::u16string text;
  TFontInfo font;
  DWORD color;
  int link;
};

using TextMeasure = std::function<SIZE(const std::u16string&, const TFontInfo&)>;
using FontResolver = std::function<TFontInfo(int index)>;

struct TTextLayout {
  std::vector<TPlacedRun> runs;
  SIZE extent;  // width of the widest line, total height
};

// Lays runs out inside rc with DT_* style (DT_SINGLELINE, DT_WORDBREAK,
// DT_CENTER, DT_RIGHT, DT_VCENTER, DT_BOTTOM, DT_END_ELLIPSIS).
TTextLayout LayoutText(const TTextMarkup& markup, const RECT& rc, UINT style, int defaultFont, DWORD defaultColor,
                       const FontResolver& fonts, const TextMeasure& measure);

}  // namespace DuiLib
