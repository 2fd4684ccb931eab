// EXIF orientation of small JPEG files made here: real pictures from libjpeg
// with hand-built EXIF blocks, well-formed and malformed.
#include "app/image/jpeg_exif.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <stdlib.h>
#include <unistd.h>

#include "app/image/tests/jpeg_fixture.h"
#include "foundation/base/code_page.h"

namespace {

using image_test::TiffWriter;
using image_test::TinyJpeg;
using image_test::WithApp1;

constexpr uint16_t kOrientation = 0x0112;

// IFD0 holding one orientation entry of `format`.
std::vector<uint8_t> OrientationBlock(bool motorola, uint32_t orientation, uint16_t format = 3) {
  TiffWriter t(motorola);
  t.Put16(1);
  t.Entry(kOrientation, format, 1, orientation);
  t.Put32(0);
  return t.bytes();
}

int RotationOf(const std::vector<uint8_t>& file) {
  return RotationForOrientation(ReadJpegSections(file.data(), file.size()).info.orientation);
}

TEST(JpegExif, OrientationTable) {
  struct Case {
    bool motorola;
    uint32_t orientation;
    uint16_t format;
    int rotation;
  } cases[] = {
      {false, 1, 3, 0}, {false, 3, 3, 2}, {false, 6, 3, 1}, {false, 8, 3, 3},
      {true, 6, 3, 1},  {true, 3, 3, 2},  {true, 8, 4, 3},  // MM and a LONG value
      {false, 2, 3, 0}, {false, 4, 3, 0}, {false, 5, 3, 0}, {false, 7, 3, 0},  // mirrored forms
      {false, 9, 3, 0}, {false, 0, 3, 0},  // undefined values
      {false, 6, 1, 1},  // a BYTE value
  };
  const std::vector<uint8_t> jpeg = TinyJpeg();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.motorola ? "MM" : "II") << " orientation " << c.orientation
                                      << " format " << c.format);
    const std::vector<uint8_t> file = WithApp1(jpeg, OrientationBlock(c.motorola, c.orientation, c.format));
    const JpegReadResult result = ReadJpegSections(file.data(), file.size());
    EXPECT_TRUE(result.ok) << result.last_error;
    EXPECT_TRUE(result.info.has_exif);
    EXPECT_EQ(result.info.width, 8);
    EXPECT_EQ(result.info.height, 8);
    EXPECT_EQ(RotationForOrientation(result.info.orientation), c.rotation);
  }
}

TEST(JpegExif, LaterDirectoryAndNestedDirectoriesAreRead) {
  const std::vector<uint8_t> jpeg = TinyJpeg();
  {
    SCOPED_TRACE("IFD0 says 3, IFD1 says 8: the later wins");
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(kOrientation, 3, 1, 3);
    t.Put32(t.Here() + 4);
    t.Put16(1);
    t.Entry(kOrientation, 3, 1, 8);
    t.Put32(0);
    EXPECT_EQ(RotationOf(WithApp1(jpeg, t.bytes())), 3);
  }
  {
    SCOPED_TRACE("orientation in the EXIF sub-directory");
    TiffWriter t(true);
    t.Put16(1);
    t.Entry(0x8769, 4, 1, 8 + 2 + 12 + 4);
    t.Put32(0);
    t.Put16(1);
    t.Entry(kOrientation, 3, 1, 6);
    t.Put32(0);
    EXPECT_EQ(RotationOf(WithApp1(jpeg, t.bytes())), 1);
  }
}

TEST(JpegExif, FilesWithoutOrientation) {
  const std::vector<uint8_t> jpeg = TinyJpeg();
  EXPECT_EQ(RotationOf(jpeg), 0) << "no APP1 section";
  const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  EXPECT_EQ(ReadJpegSections(png, sizeof png).info.orientation, 0);
  std::vector<uint8_t> xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's'};
  EXPECT_EQ(RotationOf(WithApp1(jpeg, xmp)), 0) << "an APP1 that is not EXIF";
}

// Malformed blocks: each ends quietly with what was found before, and never
// reads outside the section (the sanitizer build checks that).
TEST(JpegExif, MalformedBlocksEndQuietly) {
  const std::vector<uint8_t> jpeg = TinyJpeg();
  struct Case {
    const char* name;
    std::vector<uint8_t> block;
    uint32_t length_override;
    const char* error;
  };
  std::vector<Case> cases;
  cases.push_back({"header only", {'E', 'x', 'i', 'f', 0, 0}, 0, "Invalid Exif alignment marker."});
  cases.push_back({"bad alignment", {'E', 'x', 'i', 'f', 0, 0, 'X', 'X', 42, 0, 8, 0, 0, 0}, 0,
                   "Invalid Exif alignment marker."});
  cases.push_back({"bad start", {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 43, 0, 8, 0, 0, 0}, 0, "Invalid Exif start (1)"});
  cases.push_back({"suspicious first offset", {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 99, 0, 0, 0}, 0,
                   "Suspicious offset of first IFD value"});
  {
    // The header ends where the directory would start.
    cases.push_back({"no directory", {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0}, 0,
                     "Illegally sized directory"});
  }
  {
    TiffWriter t(false);
    t.Put16(200);  // 200 entries announced, one present
    t.Entry(kOrientation, 3, 1, 6);
    cases.push_back({"entry count beyond the block", t.bytes(), 0, "Illegally sized directory"});
  }
  {
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(kOrientation, 13, 1, 6);
    t.Put32(0);
    cases.push_back({"format above 12", t.bytes(), 0, "Illegal format code in EXIF dir"});
  }
  {
    // 0x20000000 rationals: 2^32 bytes, which a 32-bit product wraps to 0.
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(kOrientation, 5, 0x20000000, 8);
    t.Put32(0);
    cases.push_back({"byte count that wraps 32 bits", t.bytes(), 0, "Illegal pointer offset value in EXIF."});
  }
  {
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(kOrientation, 5, 1, 0xFFFFFFF0u);  // offset + 8 wraps 32 bits
    t.Put32(0);
    cases.push_back({"value offset that wraps 32 bits", t.bytes(), 0, "Illegal pointer offset value in EXIF."});
  }
  {
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(0x8769, 4, 1, 5000);
    t.Put32(0);
    cases.push_back({"sub-directory outside", t.bytes(), 0, "Illegal subdirectory link"});
  }
  {
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(kOrientation, 3, 1, 6);
    t.Put32(8);  // the next directory is this one
    cases.push_back({"self-linked directory", t.bytes(), 0, ""});
  }
  {
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(0x8769, 4, 1, 8);  // the EXIF link points back at IFD0
    t.Put32(0);
    cases.push_back({"sub-directory loop", t.bytes(), 0, ""});
  }
  {
    TiffWriter t(false);
    t.Put16(1);
    t.Entry(kOrientation, 3, 1, 6);
    t.Put32(0);
    std::vector<uint8_t> block = t.bytes();
    const uint32_t claimed = static_cast<uint32_t>(block.size() + 2 + 4000);
    cases.push_back({"section longer than the file", block, claimed, "Premature end of file?"});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> file = WithApp1(jpeg, c.block, c.length_override);
    if (c.length_override != 0) file.resize(2 + 4 + c.block.size());  // cut right after the block
    const JpegReadResult result = ReadJpegSections(file.data(), file.size());
    if (c.error[0] != '\0') {
      EXPECT_EQ(result.last_error, c.error);
    }
    EXPECT_LE(result.info.orientation, 8);
    // The block alone in a heap block of its exact size: any read past it
    // is caught by the sanitizer build.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.block.size()]);
    std::copy(c.block.begin(), c.block.end(), exact.get());
    JpegExifInfo info;
    std::string error;
    ParseExifBlock(exact.get(), c.block.size(), &info, &error);
    EXPECT_LE(info.orientation, 8);
  }
}

TEST(JpegExif, SectionLevelFaults) {
  const std::vector<uint8_t> jpeg = TinyJpeg();
  std::vector<uint8_t> padded = {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE1};
  EXPECT_EQ(ReadJpegSections(padded.data(), padded.size()).last_error, "too many padding unsigned chars");
  std::vector<uint8_t> zero_length = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01};
  EXPECT_EQ(ReadJpegSections(zero_length.data(), zero_length.size()).last_error, "invalid marker");
  std::vector<uint8_t> end = {0xFF, 0xD8, 0xFF, 0xD9, 0x00, 0x02};
  EXPECT_EQ(ReadJpegSections(end.data(), end.size()).last_error, "No image in jpeg!");
  std::vector<uint8_t> many = {0xFF, 0xD8};
  for (int i = 0; i < 25; ++i) many.insert(many.end(), {0xFF, 0xE2, 0x00, 0x02});
  EXPECT_EQ(ReadJpegSections(many.data(), many.size()).last_error, "Too many sections in jpg file");
  for (size_t cut = 0; cut < jpeg.size(); cut += 7) {
    const std::vector<uint8_t> part(jpeg.begin(), jpeg.begin() + static_cast<long>(cut));
    EXPECT_EQ(ReadJpegSections(part.data(), part.size()).info.orientation, 0);
  }
}

TEST(JpegExif, ReadsTheFileByPath) {
  char folder[] = "/tmp/jpeg_exif_test_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/照片.jpg";
  ASSERT_TRUE(image_test::WriteFile(path, WithApp1(TinyJpeg(), OrientationBlock(true, 8))));
  EXPECT_EQ(ReadJpegExif(MultiByteToWString(path, CP_UTF8)), 3);
  EXPECT_EQ(ReadJpegExif(MultiByteToWString(std::string(folder) + "/missing.jpg", CP_UTF8)), 0);
  unlink(path.c_str());
  rmdir(folder);
}

}  // namespace
