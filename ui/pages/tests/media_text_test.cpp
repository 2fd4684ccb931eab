// The pure parts of the music, video and pictures pages: the texts of a
// row, the batches of the picture grids, the viewer's fit, turn and arrows,
// and the batch walk against a box that closes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "app/core/message_ids.h"
#include "app/image/jpeg_exif.h"
#include "ui/pages/batch_run.h"
#include "ui/pages/media_text.h"
#include "ui/pages/picture_lists.h"
#include "ui/pages/picture_view.h"
#include "ui/pages/tests/test_pictures.h"
#include "ui/tests/temp_user_fixture.h"

namespace {

using namespace media_text;

struct TextCase {
  int64_t in;
  const char16_t* out;
};

TEST(MediaText, Durations) {
  const TextCase cases[] = {
      {0, u"00:00"},        {59, u"00:59"},          {3599, u"59:59"},          {3600, u"01:00:00"},
      {3725, u"01:02:05"},  {36000, u"10:00:00"},    {360000, u"100:00:00"},    {-5, u"00:00"},
      // Larger than 32 bits: the hours are computed on 64 bits.
      {int64_t(1) << 33, u"2386092:56:32"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(FormatDuration(c.in), c.out) << c.in;
}

TEST(MediaText, Sizes) {
  const TextCase music[] = {
      {0, u"0.00K"}, {1536, u"1.50K"}, {1048576, u"1024.00K"}, {1048577, u"1.00M"}, {int64_t(5) << 30, u"5120.00M"},
  };
  for (const TextCase& c : music) EXPECT_EQ(FormatMusicSize(c.in), c.out) << c.in;
  const TextCase video[] = {
      {1048576, u"1024.00K"},          {1048577, u"1.00M"},         {int64_t(1) << 30, u"1024.00M"},
      {(int64_t(1) << 30) + 1, u"1.00G"}, {int64_t(3) << 30, u"3.00G"},
  };
  for (const TextCase& c : video) EXPECT_EQ(FormatVideoSize(c.in), c.out) << c.in;
}

TEST(MediaText, NamesSplitAtTheLastDot) {
  struct Case {
    const char16_t* name;
    const char16_t* base;
    const char16_t* ext;
  } cases[] = {
      {u"song.mp3", u"song", u"MP3"}, {u"a.b.mp3", u"a.b", u"MP3"}, {u"noext", u"noext", u""},
      {u"晴天.Mp4", u"晴天", u"MP4"},   {u".hidden", u"", u"HIDDEN"}, {u"end.", u"end", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameWithoutExtension(c.name), c.base);
    EXPECT_EQ(ExtensionUpper(c.name), c.ext);
  }
}

TEST(MediaText, MonthsInLocalTimeAndBadges) {
  const char* old_tz = getenv("TZ");
  const std::string saved = old_tz ? old_tz : "";
  setenv("TZ", "Asia/Shanghai", 1);
  tzset();
  // 2026-03-01 00:00 local is 2026-02-28 16:00 UTC: still March here.
  EXPECT_EQ(FormatMonth(1772294400), u"2026年3月");
  EXPECT_EQ(FormatMonth(1772294399), u"2026年2月");
  if (old_tz) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
  EXPECT_EQ(CountBadgeWidth(7), 18);
  EXPECT_EQ(CountBadgeWidth(13), 18);
  EXPECT_EQ(CountBadgeWidth(20), 25);
}

TEST(PictureGrid, BatchesAndKeys) {
  struct Case {
    int rows, total, batch, end;
  } cases[] = {
      {0, 45, 20, 20}, {20, 45, 20, 40}, {40, 45, 20, 45}, {45, 45, 20, 45}, {0, 3, 30, 3}, {0, 0, 30, 0}, {50, 10, 20, 50},
  };
  for (const Case& c : cases) EXPECT_EQ(picture_grid::BatchEnd(c.rows, c.total, c.batch), c.end);
  EXPECT_EQ(picture_grid::KeyText(1772294400), u"1772294400");
  EXPECT_EQ(picture_grid::KeyOf(u"1772294400"), 1772294400);
  EXPECT_EQ(picture_grid::KeyOf(u"-3600"), -3600);
}

TEST(PictureViewer, FitsHeightThenWidthInSinglePrecision) {
  struct Case {
    float w, h;
    int width, height;
  } cases[] = {
      {4000, 3000, 760, 570}, {1000, 3000, 190, 570}, {400, 300, 400, 300}, {3000, 1000, 760, 253},
      {760, 570, 760, 570},   {1, 10000, 0, 570},
  };
  for (const Case& c : cases) {
    const picture_view::Fit fit = picture_view::FitPicture(c.w, c.h, 760, 570);
    EXPECT_TRUE(fit.ok);
    EXPECT_EQ(static_cast<int>(fit.width), c.width) << c.w << "x" << c.h;
    EXPECT_EQ(static_cast<int>(fit.height), c.height) << c.w << "x" << c.h;
  }
  EXPECT_FALSE(picture_view::FitPicture(0, 10, 760, 570).ok);
  EXPECT_FALSE(picture_view::FitPicture(10, 10, 0, 570).ok);
}

TEST(PictureViewer, ArrowsAndPositions) {
  struct Case {
    int i, n;
    bool previous, next;
  } cases[] = {
      {0, 1, false, false}, {0, 0, false, false}, {0, 3, false, true}, {1, 3, true, true},
      {2, 3, true, false},  {3, 3, true, false},  {-1, 3, false, true},
  };
  for (const Case& c : cases) {
    const picture_view::Arrows a = picture_view::ArrowsFor(c.i, c.n);
    EXPECT_EQ(a.previous, c.previous) << c.i << "/" << c.n;
    EXPECT_EQ(a.next, c.next) << c.i << "/" << c.n;
  }
  const std::vector<int32_t> ids{7, 9, 11};
  EXPECT_EQ(picture_view::IndexOf(ids, 9), 1);
  EXPECT_EQ(picture_view::IndexOf(ids, 5), 0);
  EXPECT_EQ(picture_view::IdAt(ids, 2), 11);
  EXPECT_EQ(picture_view::IdAt(ids, 3), 0);
  EXPECT_EQ(picture_view::IdAt(ids, -1), 0);
}

TEST(PictureViewer, TurnsMovePixelsClockwise) {
  DuiLib::TImageInfo image;  // 3 x 2: a b c / d e f
  image.nX = 3;
  image.nY = 2;
  image.pixels = {1, 2, 3, 4, 5, 6};
  struct Case {
    int turns, w, h;
    std::vector<uint32_t> pixels;
  } cases[] = {
      {0, 3, 2, {1, 2, 3, 4, 5, 6}},
      {1, 2, 3, {4, 1, 5, 2, 6, 3}},
      {2, 3, 2, {6, 5, 4, 3, 2, 1}},
      {3, 2, 3, {3, 6, 2, 5, 1, 4}},
      {5, 2, 3, {4, 1, 5, 2, 6, 3}},
  };
  for (const Case& c : cases) {
    auto out = picture_view::RotateClockwise(image, c.turns);
    EXPECT_EQ(out->nX, c.w) << c.turns;
    EXPECT_EQ(out->nY, c.h) << c.turns;
    EXPECT_EQ(out->pixels, c.pixels) << c.turns;
  }
}

TEST(PictureViewer, DecodersGetTheJpegWithoutItsExif) {
  const std::string six = media_test::HalvesJpeg(16, 8, 6);
  const std::string bare = picture_view::WithoutExif(six);
  EXPECT_LT(bare.size(), six.size());
  const JpegReadResult read = ReadJpegSections(reinterpret_cast<const uint8_t*>(bare.data()), bare.size());
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.info.orientation, 0);
  EXPECT_EQ(read.info.width, 16);
  std::string why;
  ASSERT_NE(DuiLib::DecodeImage(bare, 0, &why), nullptr) << why;
  EXPECT_EQ(picture_view::WithoutExif(media_test::HalvesJpeg(16, 8, 0)), media_test::HalvesJpeg(16, 8, 0));
  // Not a JPEG, or a head cut short: what is there comes back.
  for (const std::string& odd : {std::string("\x89PNG...."), std::string("\xFF\xD8\xFF\xE1\x00\xFF" "Exif", 10),
                                 std::string("\xFF\xD8\xFF")})
    EXPECT_EQ(picture_view::WithoutExif(odd), odd);
}

TEST(PictureViewer, LoadsFilesUprightByTheirExifOrientation) {
  char folder[] = "/tmp/media_text_test_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  struct Case {
    const char* name;
    int orientation;
    int w, h;
    bool red_on_top;  // else red on the left
  } cases[] = {
      {"plain.jpg", 0, 64, 32, false},
      {"six.jpg", 6, 32, 64, true},
      {"three.jpg", 3, 64, 32, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(media_test::WriteFile(dir + "/" + c.name, media_test::HalvesJpeg(64, 32, c.orientation)));
    std::string error;
    auto image = picture_view::LoadUpright(unicode::Utf8ToUtf16((dir + "/" + c.name).c_str(),
                                                                 std::strlen((dir + "/" + c.name).c_str())),
                                           &error);
    ASSERT_NE(image, nullptr) << error;
    EXPECT_EQ(image->nX, c.w);
    EXPECT_EQ(image->nY, c.h);
    const uint32_t first = image->pixels.front();  // top-left
    const uint32_t last = image->pixels.back();    // bottom-right
    if (c.orientation == 3) {
      EXPECT_GT(media_test::Blue(first), media_test::Red(first));  // turned half way: blue now on the left
      EXPECT_GT(media_test::Red(last), media_test::Blue(last));
    } else if (c.red_on_top) {
      EXPECT_GT(media_test::Red(first), media_test::Blue(first));
      EXPECT_GT(media_test::Blue(last), media_test::Red(last));
      // The top row is all red, the bottom row all blue.
      EXPECT_GT(media_test::Red(image->pixels[static_cast<size_t>(c.w - 1)]), 150);
    } else {
      EXPECT_GT(media_test::Red(first), media_test::Blue(first));
      EXPECT_GT(media_test::Blue(last), media_test::Red(last));
      EXPECT_GT(media_test::Blue(image->pixels[static_cast<size_t>(c.w - 1)]), 150);
    }
  }
  std::string error;
  EXPECT_EQ(picture_view::LoadUpright(u"/nonexistent/x.jpg", &error), nullptr);
  EXPECT_FALSE(error.empty());
  ASSERT_TRUE(media_test::WriteFile(dir + "/junk.jpg", "not a picture"));
  EXPECT_EQ(picture_view::LoadUpright(unicode::Utf8ToUtf16((dir + "/junk.jpg").c_str(), (dir + "/junk.jpg").size()),
                                      &error),
            nullptr);
  EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

}  // namespace
