// The drawing interface on cairo and pango. One CCairoRenderTarget draws on
// any cairo context: a window's backing image, or an offscreen image for a
// screenshot. Both use the same fixed font options (grey antialiasing,
// slight hinting, unhinted metrics), so a window and its offscreen copy get
// identical pixels.
//
// Threading: a render target and the text measurer belong to the GTK thread.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "qenui/core/UIRender.h"

namespace DuiLib {

// The fontconfig family list for a layout's font name: the layouts name the
// Windows face "微软雅黑"; every face falls back to Noto Sans CJK SC, then
// WenQuanYi Micro Hei.
std::string FontFamilyList(const CDuiString& layoutName);
// A pango description for a font-table entry (pixel size, bold, italic).
PangoFontDescription* NewFontDescription(const TFontInfo& font);
// The font options every text run uses.
const cairo_font_options_t* SharedFontOptions();
// Gives a pango context those options and the layouts' 96 dpi.
void ApplyFontOptions(PangoContext* ctx);

// Decoded pictures as cairo surfaces (premultiplied), by image serial. At
// most `capacity` surfaces stay cached; the least recently used goes first.
class CImageSurfaceCache {
 public:
  explicit CImageSurfaceCache(size_t capacity = 256) : m_capacity(capacity) {}
  ~CImageSurfaceCache();
  cairo_surface_t* Get(const TImageInfo& image);  // a new reference: the caller destroys it

 private:
  size_t m_capacity;
  std::list<uint64_t> m_order;  // most recent first
  struct Entry { cairo_surface_t* surface; std::list<uint64_t>::iterator pos; };
  std::unordered_map<uint64_t, Entry> m_entries;
};

class CCairoRenderTarget : public IRenderTarget {
 public:
  CCairoRenderTarget(cairo_t* cr, CImageSurfaceCache* images);
  ~CCairoRenderTarget() override;

  void PushClip(const RECT& rc, int radius) override;
  void PopClip() override;
  void FillRect(const RECT& rc, DWORD argb) override;
  void DrawRect(const RECT& rc, int lineWidth, DWORD argb) override;
  void FillRoundRect(const RECT& rc, int radius, DWORD argb) override;
  void DrawRoundRect(const RECT& rc, int lineWidth, int radius, DWORD argb) override;
  void DrawLine(POINT from, POINT to, int lineWidth, DWORD argb) override;
  void DrawImage(const TImageInfo& image, const RECT& dest, const RECT& source, BYTE fade) override;
  void DrawText(long x, long y, const std::u16string& text, const TFontInfo& font, DWORD argb) override;

 private:
  cairo_t* m_cr;
  CImageSurfaceCache* m_images;
  PangoLayout* m_layout;
  int m_clipDepth = 0;
};

// Text metrics with the same fonts and options as the render target.
SIZE MeasureTextPango(const std::u16string& text, const TFontInfo& font);

// Adds a rounded rectangle path (radius 0 = plain rectangle).
void RoundRectPath(cairo_t* cr, double x, double y, double w, double h, double r);

}  // namespace DuiLib
