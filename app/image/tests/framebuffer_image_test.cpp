// Framebuffer pixels to a bitmap and to a PNG file.
#include "app/image/framebuffer_image.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/image/tests/png_read.h"
#include "foundation/base/code_page.h"

namespace {

// 2 x 2 frames: red, green / blue, white.
const uint8_t kBgra[] = {0x00, 0x00, 0xFF, 0x7F, 0x00, 0xFF, 0x00, 0x00,
                         0xFF, 0x00, 0x00, 0x10, 0xFF, 0xFF, 0xFF, 0xFF};
const uint8_t kRgb565[] = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
const uint32_t kExpected[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};

TEST(FramebufferImage, BitmapFromEachDepth) {
  for (int bpp : {32, 16}) {
    SCOPED_TRACE(bpp);
    const uint8_t* pixels = bpp == 32 ? kBgra : kRgb565;
    const size_t length = bpp == 32 ? sizeof kBgra : sizeof kRgb565;
    std::unique_ptr<ScreenBitmap> bitmap = FramebufferToBitmap(2, 2, pixels, length, bpp);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->width, 2);
    EXPECT_EQ(bitmap->height, 2);
    EXPECT_EQ(bitmap->pixels, std::vector<uint32_t>(kExpected, kExpected + 4));
  }
}

TEST(FramebufferImage, UnusableFramesGiveNothing) {
  struct Case {
    const char* name;
    int width, height, bpp;
    size_t length;
  } cases[] = {
      {"24 bpp", 2, 2, 24, 12},
      {"short data", 2, 2, 32, 15},
      {"zero width", 0, 2, 32, 16},
      {"negative height", 2, -2, 32, 16},
      {"oversized side", kMaxFrameSide + 1, 1, 16, 1u << 20},
  };
  std::vector<uint8_t> data(1u << 20, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FramebufferToBitmap(c.width, c.height, data.data(), c.length, c.bpp), nullptr);
  }
  EXPECT_EQ(FramebufferBytes(kMaxFrameSide, kMaxFrameSide, 32), 1073741824u) << "64-bit size";
}

TEST(FramebufferImage, PngIsWrittenOnlyWhenComplete) {
  char folder[] = "/tmp/framebuffer_image_test_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  for (int bpp : {32, 16}) {
    SCOPED_TRACE(bpp);
    const std::string path = std::string(folder) + "/截屏" + std::to_string(bpp) + ".png";
    const uint8_t* pixels = bpp == 32 ? kBgra : kRgb565;
    const size_t length = bpp == 32 ? sizeof kBgra : sizeof kRgb565;
    ASSERT_EQ(SaveFramebufferPng(MultiByteToWString(path, CP_UTF8), 2, 2, pixels, length, bpp), 1);
    image_test::Picture picture;
    ASSERT_TRUE(image_test::ReadPng(path, &picture));
    EXPECT_EQ(picture.width, 2);
    EXPECT_EQ(picture.pixels, std::vector<uint32_t>(kExpected, kExpected + 4));
    unlink(path.c_str());
  }
  const std::string missing_folder = std::string(folder) + "/no/such/folder/shot.png";
  EXPECT_EQ(SaveFramebufferPng(MultiByteToWString(missing_folder, CP_UTF8), 2, 2, kBgra, sizeof kBgra, 32), 0);
  const std::string short_data = std::string(folder) + "/short.png";
  EXPECT_EQ(SaveFramebufferPng(MultiByteToWString(short_data, CP_UTF8), 2, 2, kBgra, 8, 32), 0);
  struct stat st;
  EXPECT_NE(stat(short_data.c_str(), &st), 0) << "no file for a frame that was not written";
  rmdir(folder);
}

}  // namespace
