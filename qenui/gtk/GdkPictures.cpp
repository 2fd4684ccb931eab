#include "qenui/gtk/GdkPictures.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "qenui/core/UIImage.h"

namespace DuiLib {

namespace {
void OnSizePrepared(GdkPixbufLoader* loader, int w, int h, gpointer tooLarge) {
  if (w <= 0 || h <= 0 || !IsPictureSizeAllowed(static_cast<uint64_t>(w), static_cast<uint64_t>(h))) {
    *static_cast<bool*>(tooLarge) = true;
    gdk_pixbuf_loader_set_size(loader, 1, 1);  // decode nothing of the real size
  }
}
}  // namespace

bool DecodePictureGdk(const std::string& bytes, int* width, int* height, std::vector<uint32_t>* argb) {
  if (bytes.empty()) return false;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  bool tooLarge = false;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSizePrepared), &tooLarge);
  bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
  ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
  GdkPixbuf* raw = ok && !tooLarge ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  GdkPixbuf* pb = raw ? gdk_pixbuf_apply_embedded_orientation(raw) : nullptr;
  g_object_unref(loader);
  if (!pb) return false;
  int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
  int channels = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
  bool alpha = gdk_pixbuf_get_has_alpha(pb);
  if (gdk_pixbuf_get_bits_per_sample(pb) != 8 || channels < 3) { g_object_unref(pb); return false; }
  const guchar* data = gdk_pixbuf_read_pixels(pb);
  argb->resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const guchar* row = data + static_cast<size_t>(y) * stride;
    uint32_t* out = argb->data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const guchar* p = row + x * channels;
      uint32_t a = alpha ? p[3] : 0xFF;
      out[x] = (a << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
  }
  *width = w;
  *height = h;
  g_object_unref(pb);
  return true;
}

}  // namespace DuiLib
