#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "packwell.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PackwellZip : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/packwell_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    archive_ = dir_ + "/app.apk";
    int error = 0;
    zip_t* zip = zip_open(archive_.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    icon_.assign(200000, '\0');
    for (size_t i = 0; i < icon_.size(); ++i) icon_[i] = static_cast<char>(i * 31 % 251);
    zip_source_t* icon = zip_source_buffer(zip, icon_.data(), icon_.size(), 0);
    ASSERT_GE(zip_file_add(zip, "res/drawable/icon.png", icon, ZIP_FL_ENC_UTF_8), 0);
    zip_source_t* manifest = zip_source_buffer(zip, "manifest", 8, 0);
    ASSERT_GE(zip_file_add(zip, "AndroidManifest.xml", manifest, ZIP_FL_ENC_UTF_8), 0);
    ASSERT_EQ(zip_close(zip), 0);
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string dir_, archive_, icon_;
};

TEST_F(PackwellZip, ExtractsAnEntryOfAnApk) {
  const std::string out = dir_ + "/icon.png";
  { std::ofstream(out) << "old content"; }
  EXPECT_EQ(unZipFile(archive_.c_str(), "res/drawable/icon.png", out.c_str()), kPackwellOk);
  EXPECT_EQ(ReadFile(out), icon_);
}

TEST_F(PackwellZip, FailuresLeaveNoDestination) {
  struct Case {
    std::string archive, entry, destination;
    int result;
  };
  const std::string out = dir_ + "/out.png";
  { std::ofstream(dir_ + "/broken.apk") << "PK\x03\x04 not really a zip"; }
  const Case cases[] = {
      {archive_, "res/missing.png", out, kPackwellNoEntry},
      {archive_, "RES/DRAWABLE/ICON.PNG", out, kPackwellNoEntry},  // names are exact
      {dir_ + "/missing.apk", "AndroidManifest.xml", out, kPackwellArchiveError},
      {dir_ + "/broken.apk", "AndroidManifest.xml", out, kPackwellArchiveError},
      {archive_, "AndroidManifest.xml", dir_ + "/no/such/folder/out", kPackwellWriteError},
      {archive_, "", out, kPackwellBadArgument},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive + " " + c.entry + " " + c.destination);
    EXPECT_EQ(unZipFile(c.archive.c_str(), c.entry.c_str(), c.destination.c_str()), c.result);
    EXPECT_NE(access(out.c_str(), F_OK), 0);
  }
  EXPECT_EQ(unZipFile(nullptr, "a", "b"), kPackwellBadArgument);
  // Only the archive and what the tests wrote are left: no temporary files.
  EXPECT_EQ(ReadFile(dir_ + "/broken.apk").substr(0, 2), "PK");
}

TEST(Packwell, CompressRoundTripAndSmallBuffers) {
  const std::string text(10000, 'z');
  std::vector<unsigned char> packed(20000);
  unsigned long packed_length = packed.size();
  ASSERT_EQ(QENCompress(reinterpret_cast<const unsigned char*>(text.data()), text.size(), packed.data(),
                        &packed_length),
            kPackwellOk);
  EXPECT_LT(packed_length, text.size());

  std::vector<unsigned char> plain(text.size());
  unsigned long plain_length = plain.size();
  ASSERT_EQ(QENDecompress(packed.data(), packed_length, plain.data(), &plain_length), kPackwellOk);
  EXPECT_EQ(std::string(plain.begin(), plain.begin() + plain_length), text);

  unsigned long small = 10;
  EXPECT_EQ(QENDecompress(packed.data(), packed_length, plain.data(), &small), kPackwellBufferTooSmall);
  unsigned char garbage[] = {1, 2, 3, 4};
  unsigned long length = plain.size();
  EXPECT_EQ(QENDecompress(garbage, sizeof garbage, plain.data(), &length), kPackwellDataError);
  EXPECT_EQ(QENCompress(nullptr, 5, plain.data(), &length), kPackwellBadArgument);
}

}  // namespace
