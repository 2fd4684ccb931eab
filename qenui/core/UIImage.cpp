#include "qenui/core/UIImage.h"

#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

namespace DuiLib {

namespace {
std::atomic<uint64_t> g_imageSerial{1};
std::atomic<PictureDecoder> g_pictureDecoder{nullptr};

void SkipBlanks(const char16_t*& p) { while (*p == u' ' || *p == u'\t' || *p == u'\r' || *p == u'\n') ++p; }
}  // namespace

RECT ParseRect(const char16_t* s) {
  long v[4] = {0, 0, 0, 0};
  if (s) {
    const char16_t* p = s;
    for (int i = 0; i < 4 && *p; ++i) {
      SkipBlanks(p);
      v[i] = static_cast<long>(ParseInt(p));
      while (*p && *p != u',') ++p;
      if (*p == u',') ++p;
    }
  }
  return MakeRect(v[0], v[1], v[2], v[3]);
}

DWORD ParseColor(const char16_t* s) {
  if (!s) return 0;
  const char16_t* p = s;
  SkipBlanks(p);
  if (*p == u'#') ++p;
  else if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) p += 2;
  DWORD v = 0;
  int digits = 0;
  for (; *p; ++p, ++digits) {
    int d;
    if (*p >= u'0' && *p <= u'9') d = *p - u'0';
    else if (*p >= u'a' && *p <= u'f') d = *p - u'a' + 10;
    else if (*p >= u'A' && *p <= u'F') d = *p - u'A' + 10;
    else break;
    v = (v << 4) | static_cast<DWORD>(d);
  }
  if (digits == 6) v |= 0xFF000000u;
  return v;
}

TDrawInfo ParseDrawInfo(const CDuiString& s) {
  TDrawInfo info;
  const char16_t* p = s.GetData();
  SkipBlanks(p);
  if (std::u16string(p).find(u'=') == std::u16string::npos || (*p != 0 && std::u16string(p).find(u'\'') == std::u16string::npos)) {
    info.sFile = p;
    return info;
  }
  while (*p) {
    SkipBlanks(p);
    std::u16string key;
    while (*p && *p != u'=' && *p != u' ') key += *p++;
    SkipBlanks(p);
    if (*p != u'=') break;
    ++p;
    SkipBlanks(p);
    if (*p != u'\'' && *p != u'"') break;
    char16_t q = *p++;
    std::u16string value;
    while (*p && *p != q) value += *p++;
    if (*p == q) ++p;
    if (key == u"file" || key == u"res") info.sFile = value;
    else if (key == u"source") { info.rcSource = ParseRect(value.c_str()); info.bHasSource = true; }
    else if (key == u"corner") info.rcCorner = ParseRect(value.c_str());
    else if (key == u"dest") { info.rcDest = ParseRect(value.c_str()); info.bHasDest = true; }
    else if (key == u"fade") info.uFade = static_cast<BYTE>(ParseInt(value.c_str()));
    else if (key == u"mask") info.dwMask = ParseColor(value.c_str());
    else if (key == u"hole") info.bHole = value == u"true";
    else if (key == u"xtiled") info.bTiledX = value == u"true";
    else if (key == u"ytiled") info.bTiledY = value == u"true";
  }
  return info;
}

namespace {

struct PngReader {
  const std::string* bytes;
  size_t pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t len) {
  auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
  if (r->pos + len > r->bytes->size()) png_error(png, "truncated");
  std::memcpy(out, r->bytes->data() + r->pos, len);
  r->pos += len;
}

// The libpng and libjpeg error paths longjmp: these functions keep no C++
// object with a destructor in their own frame, only pointers to the caller's.
bool DecodePngRaw(const std::string* bytes, std::vector<uint8_t>* rgba, std::vector<png_bytep>* rows, uint32_t* w,
                  uint32_t* h) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  PngReader reader{bytes, 0};
  png_set_read_fn(png, &reader, PngRead);
  png_read_info(png, info);
  *w = png_get_image_width(png, info);
  *h = png_get_image_height(png, info);
  if (!IsPictureSizeAllowed(*w, *h)) png_error(png, "bad size");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  rgba->resize(static_cast<size_t>(*w) * *h * 4);
  rows->resize(*h);
  for (png_uint_32 y = 0; y < *h; ++y) (*rows)[y] = rgba->data() + static_cast<size_t>(y) * *w * 4;
  png_read_image(png, rows->data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

std::shared_ptr<TImageInfo> DecodePng(const std::string& bytes, std::string* error) {
  std::vector<uint8_t> rgba;
  std::vector<png_bytep> rows;
  uint32_t w = 0, h = 0;
  if (!DecodePngRaw(&bytes, &rgba, &rows, &w, &h)) { *error = "png: corrupt data"; return nullptr; }
  auto img = std::make_shared<TImageInfo>();
  img->nX = static_cast<int>(w);
  img->nY = static_cast<int>(h);
  img->pixels.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < img->pixels.size(); ++i) {
    const uint8_t* px = &rgba[i * 4];
    img->pixels[i] = (static_cast<uint32_t>(px[3]) << 24) | (px[0] << 16) | (px[1] << 8) | px[2];
    if (px[3] != 0xFF) img->bAlpha = true;
  }
  return img;
}

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void JpegExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegQuiet(j_common_ptr, int) {}

bool DecodeJpegRaw(const std::string* bytes, std::vector<uint8_t>* rgb, int* w, int* h) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegExit;
  err.mgr.emit_message = JpegQuiet;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (!IsPictureSizeAllowed(cinfo.output_width, cinfo.output_height) || cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  *w = static_cast<int>(cinfo.output_width);
  *h = static_cast<int>(cinfo.output_height);
  rgb->resize(static_cast<size_t>(*w) * *h * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = rgb->data() + static_cast<size_t>(cinfo.output_scanline) * *w * 3;
    jpeg_read_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

std::shared_ptr<TImageInfo> DecodeJpeg(const std::string& bytes, std::string* error) {
  std::vector<uint8_t> rgb;
  int w = 0, h = 0;
  if (!DecodeJpegRaw(&bytes, &rgb, &w, &h)) { *error = "jpeg: corrupt data"; return nullptr; }
  auto img = std::make_shared<TImageInfo>();
  img->nX = w;
  img->nY = h;
  img->pixels.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < img->pixels.size(); ++i)
    img->pixels[i] = 0xFF000000u | (rgb[i * 3] << 16) | (rgb[i * 3 + 1] << 8) | rgb[i * 3 + 2];
  return img;
}

}  // namespace

bool IsPictureSizeAllowed(uint64_t width, uint64_t height) {
  constexpr uint64_t kMaxSide = 16384;
  constexpr uint64_t kMaxPixels = 64ull << 20;  // 256 MB of pixels
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

void SetPictureDecoder(PictureDecoder decoder) { g_pictureDecoder = decoder; }

std::shared_ptr<TImageInfo> DecodeImage(const std::string& bytes, DWORD mask, std::string* error) {
  std::string dummy;
  if (!error) error = &dummy;
  std::shared_ptr<TImageInfo> img;
  int w = 0, h = 0;
  std::vector<uint32_t> argb;
  PictureDecoder decoder = g_pictureDecoder.load();
  if (decoder && decoder(bytes, &w, &h, &argb) && w > 0 && h > 0 && IsPictureSizeAllowed(w, h) &&
      argb.size() == static_cast<size_t>(w) * static_cast<size_t>(h)) {
    img = std::make_shared<TImageInfo>();
    img->nX = w;
    img->nY = h;
    img->pixels = std::move(argb);
    for (uint32_t px : img->pixels)
      if ((px >> 24) != 0xFF) { img->bAlpha = true; break; }
  } else if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0) img = DecodePng(bytes, error);
  else if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8) img = DecodeJpeg(bytes, error);
  else { *error = "unknown image format"; return nullptr; }
  if (!img) return nullptr;
  if (mask) {
    img->dwMask = mask;
    for (auto& px : img->pixels)
      if ((px & 0x00FFFFFFu) == (mask & 0x00FFFFFFu)) { px = 0; img->bAlpha = true; }
  }
  img->serial = g_imageSerial.fetch_add(1);
  return img;
}

void DrawImageSliced(IRenderTarget* rt, const TImageInfo& image, const RECT& rcDest, const RECT& rcSourceIn,
                     const RECT& rcCorner, BYTE fade, bool hole) {
  if (!rt || rcDest.IsEmpty()) return;
  RECT src = rcSourceIn;
  if (src.IsEmpty()) src = MakeRect(0, 0, image.nX, image.nY);
  src.right = std::min<long>(src.right, image.nX);
  src.bottom = std::min<long>(src.bottom, image.nY);
  if (src.IsEmpty()) return;
  const long cl = rcCorner.left, ct = rcCorner.top, cr = rcCorner.right, cb = rcCorner.bottom;
  if (cl == 0 && ct == 0 && cr == 0 && cb == 0) { rt->DrawImage(image, rcDest, src, fade); return; }
  const long dx[4] = {rcDest.left, rcDest.left + cl, rcDest.right - cr, rcDest.right};
  const long dy[4] = {rcDest.top, rcDest.top + ct, rcDest.bottom - cb, rcDest.bottom};
  const long sx[4] = {src.left, src.left + cl, src.right - cr, src.right};
  const long sy[4] = {src.top, src.top + ct, src.bottom - cb, src.bottom};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      if (hole && i == 1 && j == 1) continue;
      RECT d = MakeRect(dx[i], dy[j], dx[i + 1], dy[j + 1]);
      RECT s = MakeRect(sx[i], sy[j], sx[i + 1], sy[j + 1]);
      if (!d.IsEmpty() && !s.IsEmpty()) rt->DrawImage(image, d, s, fade);
    }
}

}  // namespace DuiLib
