#include "qenui/gtk/CairoRender.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "qenui/gtk/FontWarmUp.h"

namespace DuiLib {

namespace {

constexpr const char* kCjkFaces = "Noto Sans CJK SC,WenQuanYi Micro Hei";

void SetSource(cairo_t* cr, DWORD argb) {
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                        ((argb >> 24) & 0xFF) / 255.0);
}

void SetupLayout(PangoLayout* layout, const std::u16string& text, const TFontInfo& font) {
  PangoFontDescription* desc = NewFontDescription(font);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  PangoAttrList* attrs = pango_attr_list_new();
  if (font.bUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  std::string utf8 = Utf16ToUtf8(text);
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
}

}  // namespace

void ApplyFontOptions(PangoContext* ctx) {
  pango_cairo_context_set_font_options(ctx, SharedFontOptions());
  pango_cairo_context_set_resolution(ctx, 96.0);
}

std::string FontFamilyList(const CDuiString& layoutName) {
  std::string name = layoutName.ToUtf8();
  // The Windows faces the layouts name have no file here: the CJK face stands in.
  static const char* const kWindowsFaces[] = {"微软雅黑", "Microsoft YaHei", "宋体", "SimSun", "黑体", "SimHei",
                                              "新宋体", "Tahoma", "Arial", "Segoe UI"};
  for (const char* f : kWindowsFaces)
    if (CompareNoCase(layoutName, CDuiString::FromUtf8(f)) == 0) name.clear();
  return name.empty() ? std::string(kCjkFaces) : name + "," + kCjkFaces;
}

PangoFontDescription* NewFontDescription(const TFontInfo& font) {
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, FontFamilyList(font.sFontName).c_str());
  pango_font_description_set_absolute_size(desc, std::max(1, font.iSize) * PANGO_SCALE);
  pango_font_description_set_weight(desc, font.bBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(desc, font.bItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return desc;
}

const cairo_font_options_t* SharedFontOptions() {
  static cairo_font_options_t* opts = [] {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_subpixel_order(o, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    return o;
  }();
  return opts;
}

void RoundRectPath(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min(r, std::min(w, h) / 2);
  if (r <= 0) { cairo_rectangle(cr, x, y, w, h); return; }
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// ---------------- image surfaces ----------------

CImageSurfaceCache::~CImageSurfaceCache() {
  for (auto& [serial, e] : m_entries) cairo_surface_destroy(e.surface);
}

cairo_surface_t* CImageSurfaceCache::Get(const TImageInfo& image) {
  auto it = m_entries.find(image.serial);
  if (it != m_entries.end() && image.serial != 0) {
    m_order.splice(m_order.begin(), m_order, it->second.pos);
    return cairo_surface_reference(it->second.surface);
  }
  if (image.nX <= 0 || image.nY <= 0 || image.pixels.size() < static_cast<size_t>(image.nX) * image.nY) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.nX, image.nY);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) { cairo_surface_destroy(s); return nullptr; }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < image.nY; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    const uint32_t* src = image.pixels.data() + static_cast<size_t>(y) * image.nX;
    for (int x = 0; x < image.nX; ++x) {
      uint32_t p = src[x];
      uint32_t a = p >> 24;
      if (a == 255) { row[x] = p; continue; }
      uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
      row[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  cairo_surface_mark_dirty(s);
  if (image.serial == 0) return s;  // no identity to cache it by: the caller's only reference
  m_order.push_front(image.serial);
  m_entries[image.serial] = Entry{s, m_order.begin()};
  while (m_entries.size() > m_capacity) {
    uint64_t victim = m_order.back();
    m_order.pop_back();
    auto v = m_entries.find(victim);
    cairo_surface_destroy(v->second.surface);
    m_entries.erase(v);
  }
  return cairo_surface_reference(s);
}

// ---------------- render target ----------------

namespace {
// A layout on the calling thread's default font map, the warmed one if this
// is the first thread to draw or measure text.
PangoLayout* NewLayoutFor(cairo_t* cr) {
  AdoptWarmFontMap();
  return pango_cairo_create_layout(cr);
}
}  // namespace

CCairoRenderTarget::CCairoRenderTarget(cairo_t* cr, CImageSurfaceCache* images)
    : m_cr(cr), m_images(images), m_layout(NewLayoutFor(cr)) {
  ApplyFontOptions(pango_layout_get_context(m_layout));
  pango_layout_context_changed(m_layout);
}

CCairoRenderTarget::~CCairoRenderTarget() {
  while (m_clipDepth > 0) PopClip();
  g_object_unref(m_layout);
}

void CCairoRenderTarget::PushClip(const RECT& rc, int radius) {
  cairo_save(m_cr);
  ++m_clipDepth;
  RoundRectPath(m_cr, rc.left, rc.top, std::max(0L, rc.Width()), std::max(0L, rc.Height()), radius);
  cairo_clip(m_cr);
}

void CCairoRenderTarget::PopClip() {
  if (m_clipDepth == 0) return;
  --m_clipDepth;
  cairo_restore(m_cr);
}

void CCairoRenderTarget::FillRect(const RECT& rc, DWORD argb) {
  if (rc.IsEmpty()) return;
  SetSource(m_cr, argb);
  cairo_rectangle(m_cr, rc.left, rc.top, rc.Width(), rc.Height());
  cairo_fill(m_cr);
}

void CCairoRenderTarget::DrawRect(const RECT& rc, int lineWidth, DWORD argb) {
  if (rc.IsEmpty() || lineWidth <= 0) return;
  SetSource(m_cr, argb);
  double half = lineWidth / 2.0;
  cairo_set_line_width(m_cr, lineWidth);
  cairo_rectangle(m_cr, rc.left + half, rc.top + half, rc.Width() - lineWidth, rc.Height() - lineWidth);
  cairo_stroke(m_cr);
}

void CCairoRenderTarget::FillRoundRect(const RECT& rc, int radius, DWORD argb) {
  if (rc.IsEmpty()) return;
  SetSource(m_cr, argb);
  RoundRectPath(m_cr, rc.left, rc.top, rc.Width(), rc.Height(), radius);
  cairo_fill(m_cr);
}

void CCairoRenderTarget::DrawRoundRect(const RECT& rc, int lineWidth, int radius, DWORD argb) {
  if (rc.IsEmpty() || lineWidth <= 0) return;
  SetSource(m_cr, argb);
  double half = lineWidth / 2.0;
  cairo_set_line_width(m_cr, lineWidth);
  RoundRectPath(m_cr, rc.left + half, rc.top + half, rc.Width() - lineWidth, rc.Height() - lineWidth, radius);
  cairo_stroke(m_cr);
}

void CCairoRenderTarget::DrawLine(POINT from, POINT to, int lineWidth, DWORD argb) {
  if (lineWidth <= 0) return;
  SetSource(m_cr, argb);
  cairo_set_line_width(m_cr, lineWidth);
  // Odd widths sit on pixel centres so one-pixel lines stay sharp.
  double off = (lineWidth % 2) ? 0.5 : 0.0;
  double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
  if (from.y == to.y) { y0 += off; y1 += off; }
  if (from.x == to.x) { x0 += off; x1 += off; }
  cairo_move_to(m_cr, x0, y0);
  cairo_line_to(m_cr, x1, y1);
  cairo_stroke(m_cr);
}

void CCairoRenderTarget::DrawImage(const TImageInfo& image, const RECT& dest, const RECT& sourceIn, BYTE fade) {
  if (dest.IsEmpty() || fade == 0) return;
  cairo_surface_t* surface = m_images->Get(image);
  if (!surface) return;
  RECT source = sourceIn;
  if (source.IsEmpty()) source = MakeRect(0, 0, image.nX, image.nY);
  source.left = std::max(0L, source.left);
  source.top = std::max(0L, source.top);
  source.right = std::min<long>(image.nX, source.right);
  source.bottom = std::min<long>(image.nY, source.bottom);
  if (source.IsEmpty()) { cairo_surface_destroy(surface); return; }
  // A sub-surface padded at its edges: 9-slice pieces meet without seams
  // and never bleed pixels of the neighbouring piece.
  cairo_surface_t* part =
      cairo_surface_create_for_rectangle(surface, source.left, source.top, source.Width(), source.Height());
  cairo_pattern_t* pat = cairo_pattern_create_for_surface(part);
  cairo_pattern_set_extend(pat, CAIRO_EXTEND_PAD);
  double sx = static_cast<double>(source.Width()) / dest.Width();
  double sy = static_cast<double>(source.Height()) / dest.Height();
  bool same = source.Width() == dest.Width() && source.Height() == dest.Height();
  // Large reductions (thumbnails) get the best filter, which averages every source pixel.
  cairo_pattern_set_filter(pat, same ? CAIRO_FILTER_NEAREST : (sx > 2 || sy > 2) ? CAIRO_FILTER_BEST : CAIRO_FILTER_GOOD);
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, sx, sy);
  cairo_matrix_translate(&m, -dest.left, -dest.top);
  cairo_pattern_set_matrix(pat, &m);
  cairo_save(m_cr);
  cairo_rectangle(m_cr, dest.left, dest.top, dest.Width(), dest.Height());
  cairo_clip(m_cr);
  cairo_set_source(m_cr, pat);
  if (fade >= 255) cairo_paint(m_cr);
  else cairo_paint_with_alpha(m_cr, fade / 255.0);
  cairo_restore(m_cr);
  cairo_pattern_destroy(pat);
  cairo_surface_destroy(part);
  cairo_surface_destroy(surface);
}

void CCairoRenderTarget::DrawText(long x, long y, const std::u16string& text, const TFontInfo& font, DWORD argb) {
  if (text.empty()) return;
  SetupLayout(m_layout, text, font);
  SetSource(m_cr, argb);
  cairo_move_to(m_cr, x, y);
  pango_cairo_show_layout(m_cr, m_layout);
  cairo_new_path(m_cr);
}

SIZE MeasureTextPango(const std::u16string& text, const TFontInfo& font) {
  // One layout for all measuring, on the GTK thread.
  static PangoLayout* layout = [] {
    AdoptWarmFontMap();
    PangoContext* ctx = pango_font_map_create_context(pango_cairo_font_map_get_default());
    ApplyFontOptions(ctx);
    PangoLayout* l = pango_layout_new(ctx);
    g_object_unref(ctx);
    return l;
  }();
  SetupLayout(layout, text.empty() ? std::u16string(u" ") : text, font);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  return MakeSize(text.empty() ? 0 : w, h);
}

}  // namespace DuiLib
