#include "qenui/gtk/FontWarmUp.h"

#include <pango/pangocairo.h>

#include <mutex>
#include <thread>

#include "qenui/gtk/CairoRender.h"

namespace DuiLib {
namespace {

// Latin letters, digits and common Chinese characters of the interface.
constexpr const char kSample[] = "Zelvik 0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ "
                                 "我的手机应用联系人短信图片音乐视频首页精品排行分类下载安装任务设置";
constexpr int kSizes[] = {12, 14, 16};

PangoFontMap* WarmFontMap() {
  PangoFontMap* map = pango_cairo_font_map_new();
  PangoContext* ctx = pango_font_map_create_context(map);
  ApplyFontOptions(ctx);
  PangoLayout* layout = pango_layout_new(ctx);
  pango_layout_set_text(layout, kSample, -1);
  // Drawn as well as laid out: the glyphs are rendered into the fonts' caches.
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 8, 8);
  cairo_t* cr = cairo_create(surface);
  for (int size : kSizes) {
    for (bool bold : {false, true}) {
      TFontInfo font;
      font.iSize = size;
      font.bBold = bold;
      PangoFontDescription* desc = NewFontDescription(font);
      pango_layout_set_font_description(layout, desc);
      pango_font_description_free(desc);
      pango_cairo_show_layout(cr, layout);
    }
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  g_object_unref(layout);
  g_object_unref(ctx);
  return map;
}

// The worker and what it made. The thread that starts the warm-up and the
// thread that adopts its map take `mu`; the worker touches only `map`, which
// join() hands over.
struct WarmUp {
  std::mutex mu;
  std::thread worker;
  PangoFontMap* map = nullptr;
  bool adopted = false;

  ~WarmUp() {
    // A program that never drew text (no display) still ends the worker.
    if (worker.joinable()) worker.join();
    if (map) g_object_unref(map);
  }
};

WarmUp& State() {
  static WarmUp state;
  return state;
}

}  // namespace

void StartFontWarmUp() {
  WarmUp& s = State();
  std::lock_guard<std::mutex> lock(s.mu);
  if (s.worker.joinable() || s.adopted) return;
  s.worker = std::thread([&s] { s.map = WarmFontMap(); });
}

void AdoptWarmFontMap() {
  WarmUp& s = State();
  std::lock_guard<std::mutex> lock(s.mu);
  if (s.adopted) return;
  s.adopted = true;
  if (!s.worker.joinable()) return;
  s.worker.join();
  if (!s.map) return;
  pango_cairo_font_map_set_default(PANGO_CAIRO_FONT_MAP(s.map));
  g_object_unref(s.map);
  s.map = nullptr;
}

}  // namespace DuiLib
