// File names from headers and URLs, and the resume record text.
#include <gtest/gtest.h>

#include "src/names.h"
#include "src/resume_record.h"

namespace {

TEST(SafeFileName, KeepsOnlyAPlainName) {
  const struct {
    const char* text;
    const char* name;
  } cases[] = {
      {"game.apk", "game.apk"},     {"../x", "x"},         {"/etc/passwd", "passwd"},
      {"a\\b\\c.txt", "c.txt"},     {"..", ""},            {".", ""},
      {"", ""},                     {"dir/", ""},          {"\"q\"uo'te.bin", "\"q\"uo'te.bin"},
      {"tab\there\x01.bin", "tabhere.bin"}, {"游戏.apk", "游戏.apk"}, {"a/../..", ""},
      {" padded.apk ", "padded.apk"}, {" \x01 ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(xldl::SafeFileName(c.text), c.name) << c.text;
}

// The caller's own name reaches the disk as the caller wrote it.
TEST(CallerFileName, KeepsTheNameAsChosen) {
  const struct {
    const char* text;
    const char* name;
  } cases[] = {
      {"it's-файл.bin", "it's-файл.bin"}, {"say \"hi\".apk", "say \"hi\".apk"}, {" blank .apk", " blank .apk"},
      {"back\\slash.apk", "back\\slash.apk"}, {"bell\x07.apk", "bell.apk"},     {"dir/x.apk", "x.apk"},
      {"..", ""},                          {".", ""},                       {"", ""},
      {"a/..", ""},                        {"\x01", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(xldl::CallerFileName(c.text), c.name) << c.text;
}

TEST(NameFromHeaders, ContentDispositionAndUrl) {
  EXPECT_EQ(xldl::NameFromContentDisposition("attachment; filename=\"game.apk\""), "game.apk");
  EXPECT_EQ(xldl::NameFromContentDisposition("attachment; filename=plain.zip"), "plain.zip");
  EXPECT_EQ(xldl::NameFromContentDisposition("attachment; filename=\"a.bin\"; filename*=UTF-8''%E6%B8%B8.apk"),
            "游.apk");
  EXPECT_EQ(xldl::NameFromContentDisposition("attachment; filename=\"../../evil.sh\""), "evil.sh");
  EXPECT_EQ(xldl::NameFromContentDisposition("attachment; filename=\"..\""), "");
  EXPECT_EQ(xldl::NameFromContentDisposition("inline"), "");

  EXPECT_EQ(xldl::NameFromUrl("http://127.0.0.1:80/files/game.apk?x=1#f"), "game.apk");
  EXPECT_EQ(xldl::NameFromUrl("http://127.0.0.1/a%20b.zip"), "a b.zip");
  EXPECT_EQ(xldl::NameFromUrl("http://127.0.0.1/dir/%2e%2e"), "");
  EXPECT_EQ(xldl::NameFromUrl("http://127.0.0.1/x/..%2Fpasswd"), "passwd");
  EXPECT_EQ(xldl::NameFromUrl("http://127.0.0.1"), "");
}

TEST(ResumeRecord, RoundTripAndRejects) {
  const xldl::ResumeRecord record{"http://127.0.0.1/f.bin", 1234, "\"v1\""};
  const auto back = xldl::ParseResumeRecord(xldl::FormatResumeRecord(record));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->url, record.url);
  EXPECT_EQ(back->total, 1234u);
  EXPECT_EQ(back->validator, "\"v1\"");
  for (const char* bad : {"", "url=x\ntotal=1\n", "url=x\ntotal=abc\nvalidator=\n", "url=\ntotal=1\nvalidator=\n",
                          "url=x\ntotal=1\nvalidator=\nextra\n", "total=1\nurl=x\nvalidator=\n"}) {
    EXPECT_FALSE(xldl::ParseResumeRecord(bad).has_value()) << bad;
  }
}

}  // namespace
