#include "app/ftp/ftp_url.h"

#include <gtest/gtest.h>

namespace ftp {
namespace {

TEST(FtpUrlTest, EachSegmentIsEncoded) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"sdcard/Music/a.mp3", "sdcard/Music/a.mp3"},
      {"sdcard/My Music/a b.mp3", "sdcard/My%20Music/a%20b.mp3"},
      {"sdcard/#1?x%y&z+.mp3", "sdcard/%231%3Fx%25y%26z%2B.mp3"},
      {"/storage/sdcard0/晴天.mp3", "/storage/sdcard0/%E6%99%B4%E5%A4%A9.mp3"},
      {"a;type=i", "a%3Btype%3Di"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeRemotePath(c.in), c.out) << c.in;
}

TEST(FtpUrlTest, CommandLineSafety) {
  EXPECT_TRUE(IsSafeRemotePath("sdcard/a b.mp3"));
  EXPECT_FALSE(IsSafeRemotePath("a.mp3\r\nDELE b.mp3"));
  EXPECT_FALSE(IsSafeRemotePath("a\n"));
}

TEST(FtpUrlTest, DownloadSchemes) {
  for (const char* ok : {"http://127.0.0.1/x", "HTTPS://127.0.0.1/x", "ftp://127.0.0.1/x"}) {
    EXPECT_TRUE(IsAllowedDownloadUrl(ok)) << ok;
  }
  for (const char* bad : {"file:///etc/passwd", "dict://127.0.0.1/", "gopher://x", "127.0.0.1/x", "", "smb://h/s"}) {
    EXPECT_FALSE(IsAllowedDownloadUrl(bad)) << bad;
  }
}

TEST(FtpUrlTest, Percentages) {
  EXPECT_EQ(ProgressPercent(0, 0), 0);
  EXPECT_EQ(ProgressPercent(5, 0), 0);
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 66);
  EXPECT_EQ(ProgressPercent(3, 3), 100);
  EXPECT_EQ(ProgressPercent(4, 3), 100);
  EXPECT_EQ(ProgressPercent(int64_t{1} << 40, (int64_t{1} << 41)), 50);
}

}  // namespace
}  // namespace ftp
