// The GTK back end's parts that need no display: key numbers, font choice,
// the cairo render target's pixels, and "open" through GIO's default handler.
#include <gtest/gtest.h>
#include <gdk/gdk.h>
#include <gio/gio.h>
#include <pango/pangocairo.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "qenui/core/UIImage.h"
#include "qenui/gtk/CairoRender.h"
#include "qenui/gtk/FontWarmUp.h"
#include "qenui/gtk/GdkPictures.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkKeys.h"
#include "qenui/gtk/tests/private_applications.h"

// Under the leak checker: fontconfig keeps its pattern cache (filled by
// pango's font map) to the end of the process by design; it is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace DuiLib;

// No handler of the machine answers "open", only those a test installs.
class PrivateDesktop : public ::testing::Environment {
 public:
  void SetUp() override { made_ = apps_.Make(); }
  void TearDown() override { apps_.Remove(); }
  static const std::string& Root() { return apps_.Root(); }
  static bool Made() { return made_; }

 private:
  static inline qenui_gtk_test::PrivateApplications apps_;
  static inline bool made_ = false;
};
const auto* const kDesktop = ::testing::AddGlobalTestEnvironment(new PrivateDesktop);

TEST(GtkKeys, KeyValuesMapToWin32VirtualKeys) {
  struct Case { unsigned kv; UINT vk; } cases[] = {
      {GDK_KEY_Return, 13},   {GDK_KEY_KP_Enter, 13}, {GDK_KEY_Escape, 27},  {GDK_KEY_BackSpace, 8},
      {GDK_KEY_Tab, 9},       {GDK_KEY_space, 0x20},  {GDK_KEY_Up, 0x26},    {GDK_KEY_Down, 0x28},
      {GDK_KEY_Left, 0x25},   {GDK_KEY_Right, 0x27},  {GDK_KEY_Home, 0x24},  {GDK_KEY_End, 0x23},
      {GDK_KEY_Delete, 0x2E}, {GDK_KEY_a, 'A'},       {GDK_KEY_Z, 'Z'},      {GDK_KEY_7, '7'},
      {GDK_KEY_F1, 0x70},     {GDK_KEY_F4, 0x73},     {GDK_KEY_Shift_R, 0x10}, {GDK_KEY_Control_L, 0x11},
      {GDK_KEY_KP_3, 0x63},   {GDK_KEY_Page_Down, 0x22}, {GDK_KEY_dead_acute, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(GdkKeyvalToVk(c.kv), c.vk) << gdk_keyval_name(c.kv);
  EXPECT_EQ(GdkStateToMouseKeys(GDK_BUTTON1_MASK | GDK_CONTROL_MASK), WPARAM(MK_LBUTTON | MK_CONTROL));
}

TEST(GtkFonts, LayoutFacesFallBackToTheCjkFace) {
  EXPECT_EQ(FontFamilyList(u"微软雅黑"), "Noto Sans CJK SC,WenQuanYi Micro Hei");
  EXPECT_EQ(FontFamilyList(u""), "Noto Sans CJK SC,WenQuanYi Micro Hei");
  EXPECT_EQ(FontFamilyList(u"DejaVu Sans"), "DejaVu Sans,Noto Sans CJK SC,WenQuanYi Micro Hei");
  // Every Chinese character of the layouts has a glyph (no empty boxes).
  TFontInfo f;
  f.sFontName = u"微软雅黑";
  f.iSize = 12;
  PangoContext* ctx = pango_font_map_create_context(pango_cairo_font_map_get_default());
  PangoLayout* layout = pango_layout_new(ctx);
  PangoFontDescription* desc = NewFontDescription(f);
  pango_layout_set_font_description(layout, desc);
  pango_layout_set_text(layout, "手机助手：应用、联系人、短信、音乐、图片和视频。出错啦！", -1);
  EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0);
  pango_font_description_free(desc);
  g_object_unref(layout);
  g_object_unref(ctx);
  // Bold is wider than regular; a 16 px line is taller than a 12 px one.
  TFontInfo bold = f, big = f;
  bold.bBold = true;
  big.iSize = 16;
  SIZE r = MeasureTextPango(u"连接手机", f), b = MeasureTextPango(u"连接手机", bold), g = MeasureTextPango(u"连接手机", big);
  EXPECT_GE(r.cx, 44);
  EXPECT_GE(b.cx, r.cx);
  EXPECT_GT(g.cy, r.cy);
  EXPECT_EQ(MeasureTextPango(u"", f).cx, 0);
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 64);
    m_cr = cairo_create(m_surface);
    cairo_set_source_rgb(m_cr, 1, 1, 1);
    cairo_paint(m_cr);
    m_rt = std::make_unique<CCairoRenderTarget>(m_cr, &m_images);
  }
  void TearDown() override {
    m_rt.reset();
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
  }
  uint32_t Px(int x, int y) {
    cairo_surface_flush(m_surface);
    auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(m_surface) +
                                            y * cairo_image_surface_get_stride(m_surface));
    return row[x] & 0xFFFFFF;
  }
  static std::shared_ptr<TImageInfo> Image(int w, int h, const std::function<uint32_t(int, int)>& fn) {
    static uint64_t serial = 1 << 30;
    auto img = std::make_shared<TImageInfo>();
    img->nX = w;
    img->nY = h;
    img->serial = ++serial;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img->pixels.push_back(fn(x, y));
    return img;
  }

  cairo_surface_t* m_surface = nullptr;
  cairo_t* m_cr = nullptr;
  CImageSurfaceCache m_images;
  std::unique_ptr<CCairoRenderTarget> m_rt;
};

// The warmed font map goes to the first thread that draws or measures text,
// and to it only: a pango font map belongs to one thread at a time. (In a
// process of its own: which thread asks first is the whole process's.)
void WarmFontMapGoesToTheFirstThreadOnly() {
  StartFontWarmUp();
  PangoFontMap* before = pango_cairo_font_map_get_default();
  AdoptWarmFontMap();
  PangoFontMap* warmed = pango_cairo_font_map_get_default();
  AdoptWarmFontMap();
  PangoFontMap* again = pango_cairo_font_map_get_default();
  PangoFontMap* other = nullptr;
  std::thread([&other] {
    AdoptWarmFontMap();
    other = pango_cairo_font_map_get_default();
  }).join();
  TFontInfo font;
  font.iSize = 14;
  const bool measured = MeasureTextPango(u"我的手机", font).cx > 14 * 3;
  if (warmed == before) std::_Exit(1);
  if (again != warmed) std::_Exit(2);
  if (other == warmed) std::_Exit(3);
  if (!measured) std::_Exit(4);
  std::_Exit(0);
}

TEST(GtkFonts, TheWarmedFontMapGoesToTheFirstThreadThatAsksOnly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(WarmFontMapGoesToTheFirstThreadOnly(), ::testing::ExitedWithCode(0), "");
}

TEST_F(RenderTest, FillsClipsAndBorders) {
  m_rt->PushClip(MakeRect(0, 0, 32, 64), 0);
  m_rt->FillRect(MakeRect(0, 0, 64, 64), 0xFF1F6FD1);
  m_rt->PopClip();
  EXPECT_EQ(Px(10, 10), 0x1F6FD1u);
  EXPECT_EQ(Px(40, 10), 0xFFFFFFu);   // outside the clip
  m_rt->DrawRect(MakeRect(32, 32, 64, 64), 1, 0xFFE53935);
  EXPECT_EQ(Px(32, 40), 0xE53935u);
  EXPECT_EQ(Px(40, 40), 0xFFFFFFu);   // inside the 1 px frame
  m_rt->FillRect(MakeRect(36, 40, 44, 48), 0x80000000);  // half-transparent black over white
  uint32_t grey = Px(40, 44) & 0xFF;
  EXPECT_NEAR(static_cast<int>(grey), 127, 2);
}

TEST_F(RenderTest, DownscaledPicturesAverageTheirPixels) {
  // A one-pixel checkerboard shrunk eight times is an even grey, not a moiré of black and white.
  auto checker = Image(64, 64, [](int x, int y) { return ((x + y) % 2) ? 0xFF000000u : 0xFFFFFFFFu; });
  m_rt->DrawImage(*checker, MakeRect(0, 0, 8, 8), RECT(), 255);
  for (int y = 1; y < 7; ++y)
    for (int x = 1; x < 7; ++x) EXPECT_NEAR(static_cast<int>(Px(x, y) & 0xFF), 128, 24) << x << "," << y;
}

TEST_F(RenderTest, NineSliceKeepsCornersAndStretchesTheMiddle) {
  // 12x12 picture: red 4 px corners, green edges, blue centre.
  auto pic = Image(12, 12, [](int x, int y) {
    bool ex = x < 4 || x >= 8, ey = y < 4 || y >= 8;
    return ex && ey ? 0xFFFF0000u : (ex || ey) ? 0xFF00FF00u : 0xFF0000FFu;
  });
  DrawImageSliced(m_rt.get(), *pic, MakeRect(0, 0, 60, 40), RECT(), MakeRect(4, 4, 4, 4), 255, false);
  EXPECT_EQ(Px(1, 1), 0xFF0000u);
  EXPECT_EQ(Px(58, 38), 0xFF0000u);
  EXPECT_EQ(Px(30, 1), 0x00FF00u);
  EXPECT_EQ(Px(1, 20), 0x00FF00u);
  EXPECT_EQ(Px(30, 20), 0x0000FFu);
  EXPECT_EQ(Px(4, 20), 0x0000FFu);    // no bleeding of the edge into the stretched centre
  // A faded draw blends with what is below.
  m_rt->FillRect(MakeRect(0, 50, 64, 64), 0xFFFFFFFF);
  auto black = Image(2, 2, [](int, int) { return 0xFF000000u; });
  m_rt->DrawImage(*black, MakeRect(0, 50, 10, 60), RECT(), 128);
  EXPECT_NEAR(static_cast<int>(Px(5, 55) & 0xFF), 127, 2);
}

TEST_F(RenderTest, ChineseTextLeavesInkInItsBox) {
  TFontInfo f;
  f.sFontName = u"微软雅黑";
  f.iSize = 16;
  m_rt->DrawText(2, 2, u"手机", f, 0xFF222222);
  int ink = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ink += Px(x, y) != 0xFFFFFFu;
  EXPECT_GT(ink, 40);
  EXPECT_EQ(Px(60, 60), 0xFFFFFFu);
}

std::string EncodePicture(const char* type, int w, int h, bool alpha) {
  GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, w, h);
  gdk_pixbuf_fill(pb, 0x1F6FD180);
  gchar* buf = nullptr;
  gsize len = 0;
  EXPECT_TRUE(gdk_pixbuf_save_to_buffer(pb, &buf, &len, type, nullptr, nullptr));
  std::string out(buf, len);
  g_free(buf);
  g_object_unref(pb);
  return out;
}

TEST(GdkPictures, DecodesEveryFormatOfThePhoneAndRefusesBadOrHugePictures) {
  // A 2x1 GIF: first pixel blue, second red.
  static const unsigned char kGif[] = {
      'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0x1F, 0x6F, 0xD1, 0xE5, 0x39, 0x35,
      ',', 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0, ';'};
  struct Case { const char* name; std::string bytes; int w, h; uint32_t first; } cases[] = {
      {"png with alpha", EncodePicture("png", 5, 3, true), 5, 3, 0x801F6FD1u},
      {"jpeg", EncodePicture("jpeg", 8, 8, false), 8, 8, 0},
      {"bmp", EncodePicture("bmp", 4, 2, false), 4, 2, 0xFF1F6FD1u},
      {"gif", std::string(reinterpret_cast<const char*>(kGif), sizeof(kGif)), 2, 1, 0xFF1F6FD1u},
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    ASSERT_TRUE(DecodePictureGdk(c.bytes, &w, &h, &px)) << c.name;
    EXPECT_EQ(w, c.w) << c.name;
    EXPECT_EQ(h, c.h) << c.name;
    ASSERT_EQ(px.size(), static_cast<size_t>(w * h)) << c.name;
    if (c.first) {
      EXPECT_EQ(px[0], c.first) << c.name;
    }
  }
  // Through the library: the back end's decoder gives BMP pictures to the image cache.
  SetPictureDecoder(&DecodePictureGdk);
  std::string err;
  auto img = DecodeImage(cases[2].bytes, 0, &err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->nX, 4);
  EXPECT_NE(img->serial, 0u);
  EXPECT_FALSE(img->bAlpha);
  SetPictureDecoder(nullptr);
  // Broken, truncated and giant pictures are refused.
  std::string bmp = cases[2].bytes, giant = bmp;
  int32_t side = 20000;
  std::memcpy(&giant[18], &side, 4);
  std::memcpy(&giant[22], &side, 4);
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  for (const std::string& bad : {std::string(), std::string("not a picture"), bmp.substr(0, 20), giant})
    EXPECT_FALSE(DecodePictureGdk(bad, &w, &h, &px));
}

// "open" hands a folder to the desktop's default handler of folders, as one
// argument whatever characters its name holds; with no handler, or for a
// folder that is not there, it answers false.
TEST(GtkShell, OpenGoesToTheDefaultHandlerOfFolders) {
  ASSERT_TRUE(PrivateDesktop::Made());
  const std::string dir = PrivateDesktop::Root(), out = dir + "/args";
  const std::string folder = dir + "/a folder; rm -rf x 文件";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  CGtkHost host;
  EXPECT_FALSE(host.ShellOpen(CDuiString::FromUtf8(folder)));  // nothing installed

  std::ofstream(dir + "/opener") << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" << out << ".part' && mv '" << out
                                 << ".part' '" << out << "'\n";
  chmod((dir + "/opener").c_str(), 0755);
  GError* error = nullptr;
  GAppInfo* opener = g_app_info_create_from_commandline((dir + "/opener").c_str(), "Folder opener",
                                                        G_APP_INFO_CREATE_NONE, &error);
  ASSERT_NE(opener, nullptr) << (error ? error->message : "");
  ASSERT_TRUE(g_app_info_set_as_default_for_type(opener, "inode/directory", &error)) << (error ? error->message : "");
  EXPECT_TRUE(host.ShellOpen(CDuiString::FromUtf8(folder)));
  std::string got;
  for (int i = 0; i < 500 && got.empty(); ++i) {
    std::ifstream in(out);
    std::stringstream ss;
    ss << in.rdbuf();
    got = ss.str();
    if (got.empty()) g_usleep(10000);
  }
  EXPECT_EQ(got, "1|" + folder + "|");
  EXPECT_FALSE(host.ShellOpen(u""));
  EXPECT_FALSE(host.ShellOpen(CDuiString::FromUtf8(dir + "/not there")));
  g_app_info_reset_type_associations("inode/directory");
  g_app_info_delete(opener);
  g_object_unref(opener);
}

}  // namespace
