// The server cache in a folder every user shares: only a file of the user's
// own, in the user's private folder, of a sane size and not through a link,
// is read; a rewrite never follows a planted link.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "server_table.h"

namespace relaylink {
namespace {

constexpr uid_t kOtherUser = 4242;

class CacheSafetyTest : public ::testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/pd-relaylink-cache-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("TMPDIR", root_.c_str(), 1);
    folder_ = root_ + "/qentemp-" + std::to_string(getuid());
  }
  void TearDown() override { (void)!std::system(("rm -rf '" + root_ + "'").c_str()); }
  // A good cache with one server of type 1, written by a table.
  std::vector<uint8_t> GoodCache() {
    ServerEntry entry;
    entry.host = "10.0.0.1";
    entry.type = 1;
    entry.port0 = 100;
    return EncodeCache({entry}, 1);
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::string root_, folder_;
};

TEST_F(CacheSafetyTest, TheCacheLivesInThePrivateFolder) {
  ServerTable table;
  ASSERT_TRUE(table.AddOrUpdate("10.0.0.1", 1, 100, 0, 0));
  ASSERT_TRUE(table.SaveCache());
  EXPECT_EQ(CacheFilePath(), folder_ + "/relaylink.cache");
  struct stat st;
  ASSERT_EQ(lstat(folder_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ServerTable loaded;
  EXPECT_TRUE(loaded.LoadCache());
  EXPECT_EQ(loaded.Size(), 1u);
}

TEST_F(CacheSafetyTest, ACacheThatIsNotTheUsersOwnIsNotRead) {
  struct Case {
    const char* name;
    void (*plant)(CacheSafetyTest* t);
  } cases[] = {
      {"a link to /dev/zero",
       [](CacheSafetyTest* t) { ASSERT_EQ(symlink("/dev/zero", (t->folder_ + "/relaylink.cache").c_str()), 0); }},
      {"a link to a good cache elsewhere",
       [](CacheSafetyTest* t) {
         Write(t->root_ + "/elsewhere", t->GoodCache());
         ASSERT_EQ(symlink((t->root_ + "/elsewhere").c_str(), (t->folder_ + "/relaylink.cache").c_str()), 0);
       }},
      {"a cache of another user",
       [](CacheSafetyTest* t) {
         Write(t->folder_ + "/relaylink.cache", t->GoodCache());
         ASSERT_EQ(chown((t->folder_ + "/relaylink.cache").c_str(), kOtherUser, kOtherUser), 0);
       }},
      {"an oversized cache",
       [](CacheSafetyTest* t) {
         std::vector<uint8_t> bytes = t->GoodCache();
         const std::vector<uint8_t> entry(bytes.begin() + kCacheHeaderSize, bytes.end());
         while (bytes.size() <= kMaxCacheBytes) bytes.insert(bytes.end(), entry.begin(), entry.end());
         Write(t->folder_ + "/relaylink.cache", bytes);
       }},
      {"a private folder of another user",
       [](CacheSafetyTest* t) {
         Write(t->folder_ + "/relaylink.cache", t->GoodCache());
         ASSERT_EQ(chown(t->folder_.c_str(), kOtherUser, kOtherUser), 0);
       }},
      {"a private folder that is a link",
       [](CacheSafetyTest* t) {
         ASSERT_EQ(mkdir((t->root_ + "/planted").c_str(), 0700), 0);
         Write(t->root_ + "/planted/relaylink.cache", t->GoodCache());
         ASSERT_EQ(rmdir(t->folder_.c_str()), 0);
         ASSERT_EQ(symlink((t->root_ + "/planted").c_str(), t->folder_.c_str()), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    (void)!std::system(("rm -rf '" + folder_ + "' '" + root_ + "/planted' '" + root_ + "/elsewhere'").c_str());
    ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
    ASSERT_NO_FATAL_FAILURE(c.plant(this));
    ServerTable table;
    EXPECT_FALSE(table.LoadCache());
    EXPECT_EQ(table.Size(), 0u);
  }
}

TEST_F(CacheSafetyTest, ARewriteNeverFollowsAPlantedTemporary) {
  ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
  const std::string victim = root_ + "/victim";
  std::ofstream(victim) << "keep me";
  // Links at every name a writer of this process could pick next.
  for (int serial = 0; serial < 64; ++serial) {
    const std::string name = folder_ + "/relaylink.cache.tmp." + std::to_string(getpid()) + "." + std::to_string(serial);
    ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
  }
  ServerTable table;
  ASSERT_TRUE(table.AddOrUpdate("10.0.0.1", 1, 100, 0, 0));
  table.SaveCache();
  EXPECT_EQ(Read(victim), "keep me");
  struct stat st;
  if (lstat((folder_ + "/relaylink.cache").c_str(), &st) == 0) {
    EXPECT_TRUE(S_ISREG(st.st_mode));
  }
}

}  // namespace
}  // namespace relaylink
