// The drawing interface. Everything the library paints goes through
// IRenderTarget: filled and outlined (round) rectangles, lines, stretched
// image blits and single runs of plain text. Text layout, markup, alignment,
// image 9-slicing and clipping decisions are made by the library, so a back
// end only implements these primitives (the GTK back end on cairo/pango, the
// headless back end records them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qenui/core/UIDefine.h"
#include "qenui/core/UIString.h"

namespace DuiLib {

// One entry of a paint manager's font table.
struct TFontInfo {
  CDuiString sFontName;
  int iSize = 12;          // pixel size
  bool bBold = false;
  bool bUnderline = false;
  bool bItalic = false;
  struct { long tmHeight = 0; long tmAveCharWidth = 0; long tmAscent = 0; } tm;  // filled from the host's metrics
};

// A decoded picture: straight (not premultiplied) ARGB pixels, row-major.
struct TImageInfo {
  int nX = 0;                  // width
  int nY = 0;                  // height
  bool bAlpha = false;         // has non-opaque pixels
  DWORD dwMask = 0;            // colour made transparent (0 = none)
  std::vector<uint32_t> pixels;
  uint64_t serial = 0;         // unique per decoded image, lets back ends cache surfaces
};

class IRenderTarget {
 public:
  virtual ~IRenderTarget() = default;
  // Clipping: every draw is clipped to the intersection of the pushed rectangles;
  // a radius > 0 rounds the corners of that clip.
  virtual void PushClip(const RECT& rc, int radius) = 0;
  virtual void PopClip() = 0;
  virtual void FillRect(const RECT& rc, DWORD argb) = 0;
  virtual void DrawRect(const RECT& rc, int lineWidth, DWORD argb) = 0;
  virtual void FillRoundRect(const RECT& rc, int radius, DWORD argb) = 0;
  virtual void DrawRoundRect(const RECT& rc, int lineWidth, int radius, DWORD argb) = 0;
  virtual void DrawLine(POINT from, POINT to, int lineWidth, DWORD argb) = 0;
  // Copies the source part of the image, scaled, onto dest; fade 255 = opaque.
  virtual void DrawImage(const TImageInfo& image, const RECT& dest, const RECT& source, BYTE fade) = 0;
  // Draws one line of plain text with its top-left corner at (x, y).
  virtual void DrawText(long x, long y, const std::u16string& text, const TFontInfo& font, DWORD argb) = 0;
};

}  // namespace DuiLib
