// MD5 and the chunked file digest, against published vectors and digests
// computed independently (Python's hashlib) for the chunk edges.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/base/code_page.h"
#include "md5.h"

namespace {

using swarmload::Md5Context;

std::string Hex(const uint8_t digest[16]) { return WStringToAnsi(swarmload::Md5ToHex(digest)); }

std::string Md5Of(const std::string& text) {
  Md5Context context;
  context.Update(text.data(), text.size());
  context.Final();
  return Hex(context.digest());
}

TEST(Md5, Rfc1321Vectors) {
  const struct {
    const char* text;
    const char* hex;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) EXPECT_EQ(Md5Of(c.text), c.hex) << c.text;
}

TEST(Md5, FinalLeavesTheRunningStateForMoreInput) {
  Md5Context context;
  context.Update("ab", 2);
  context.Final();
  EXPECT_TRUE(context.digest_taken());
  context.Update("c", 1);
  EXPECT_FALSE(context.digest_taken());
  context.Final();
  EXPECT_EQ(Hex(context.digest()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, ParseHex) {
  uint8_t out[16];
  ASSERT_EQ(swarmload::Md5ParseHex("0123456789ABCDEF0123456789abcdef", out), 16);
  const uint8_t expected[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  EXPECT_EQ(std::memcmp(out, expected, 16), 0);

  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(swarmload::Md5ParseHex("012g456789ABCDEF0123456789abcdef", out), 0);
  const uint8_t partial[16] = {0x01, 0x20};
  EXPECT_EQ(std::memcmp(out, partial, 16), 0);

  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(swarmload::Md5ParseHex("0123", out), 0);
  EXPECT_EQ(out[0], 0xEE);  // a wrong length leaves the output alone
}

class Md5FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/swarmload_md5_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // A sparse file of `size` zero bytes, or `content`.
  std::string Make(const std::string& name, off_t size, const std::string& content = "") {
    const std::string path = folder_ + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    if (!content.empty()) {
      EXPECT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    }
    if (size > 0) {
      EXPECT_EQ(::ftruncate(fd, size), 0);
    }
    ::close(fd);
    return path;
  }

  std::string FileDigest(const std::string& path) {
    uint8_t digest[16];
    if (!swarmload::Md5File(AnsiToWString(path), digest)) return "failed";
    return Hex(digest);
  }

  std::string folder_;
};

TEST_F(Md5FileTest, ChunkedDigestAtTheChunkEdges) {
  const struct {
    const char* name;
    off_t size;
    const char* content;
    const char* hex;
  } cases[] = {
      {"abc", 0, "abc", "af5da9f45af7a300e3aded972f8ff687"},
      {"empty", 0, "", "d41d8cd98f00b204e9800998ecf8427e"},
      {"one_chunk", 9728000, "", "9e835f7c04501bac3f8745c4b699588f"},
      {"chunk_plus_one", 9728001, "", "e023a8d6ec9355e3ceeecee79c7de656"},
      {"two_chunks", 2 * 9728000, "", "440fe5e559163921112048ec59870603"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileDigest(Make(c.name, c.size, c.content)), c.hex) << c.name;
}

TEST_F(Md5FileTest, MissingFilesAndFoldersFail) {
  EXPECT_EQ(FileDigest(folder_ + "/missing"), "failed");
  EXPECT_EQ(FileDigest(folder_), "failed");
}

TEST(Md5, DigestMatchesIgnoresCase) {
  uint8_t digest[16];
  swarmload::Md5ParseHex("900150983cd24fb0d6963f7d28e17f72", digest);
  EXPECT_TRUE(swarmload::DigestMatches(u"900150983CD24FB0D6963F7D28E17F72", digest));
  EXPECT_FALSE(swarmload::DigestMatches(u"900150983cd24fb0d6963f7d28e17f73", digest));
  EXPECT_FALSE(swarmload::DigestMatches(u"", digest));
}

}  // namespace
