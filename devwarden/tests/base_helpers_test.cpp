#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/base_proc.h"
#include "base/base_string.h"
#include "foundation/base/code_page.h"

namespace devwarden {
namespace {

TEST(BaseStringTest, ProductVersions) {
  struct Case {
    const char* text;
    bool ok;
    uint64_t value;
  } cases[] = {
      {"1, 2, 3, 4", true, 0x0001000200030004ull},
      {"2,0,1,35", true, 0x0002000000010023ull},
      {"2.1.0.35", true, 0x0002000100000023ull},
      {"1.2.3", false, 0},
      {"7", false, 0},
  };
  for (const Case& c : cases) {
    uint64_t v = 0xDEAD;
    EXPECT_EQ(ParseProductVersion(c.text, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(BaseStringTest, HexTexts) {
  struct Case {
    std::u16string text;
    bool ok;
    uint32_t value;
  } cases[] = {
      {u"18d1", true, 0x18d1}, {u"4EE7", true, 0x4ee7}, {u"ffffffff", true, 0xffffffff},
      {u"", false, 0},         {u"123456789", false, 0}, {u"12g4", false, 0}, {u" 12", false, 0},
  };
  for (const Case& c : cases) {
    uint32_t v = 77;
    EXPECT_EQ(HexTextToValue(c.text, &v), c.ok);
    EXPECT_EQ(v, c.ok ? c.value : 77u);
  }
  uint8_t key[16];
  for (int i = 0; i < 16; ++i) key[i] = static_cast<uint8_t>(i * 17);
  EXPECT_EQ(KeyToHexA(key), "00112233445566778899aabbccddeeff");
  EXPECT_EQ(KeyToHexW(key), u"00112233445566778899aabbccddeeff");
  uint8_t other[16] = {0x80};
  EXPECT_TRUE(KeyLess(key, other));
  char16_t buf[4];
  CopyWideText(buf, 4, u"abcdef");
  EXPECT_EQ(std::u16string(buf), u"abc");
}

TEST(BaseProcTest, LanguageIdFromTheLocale) {
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  EXPECT_EQ(GetLanguageId(), 2052);
  EXPECT_EQ(GetOsId(), 0);
}

TEST(BaseProcTest, KillEndsOneProcessOfTheNameAndNeverTheCaller) {
  char dir[] = "/tmp/devw-proc-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string name = "devwsleep" + std::to_string(getpid());
  const std::string exe = std::string(dir) + "/" + name;
  ASSERT_EQ(system(("cp /bin/sleep '" + exe + "'").c_str()), 0);
  pid_t kids[2];
  for (pid_t& kid : kids) {
    kid = fork();
    if (kid == 0) {
      execl(exe.c_str(), name.c_str(), "30", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  const std::u16string wide = MultiByteToWString(name, CP_UTF8);
  // Both copies run the program of that name (each has exec'd) before one is ended.
  auto runs_it = [&](pid_t kid) {
    char link[4096];
    const ssize_t len = readlink(("/proc/" + std::to_string(kid) + "/exe").c_str(), link, sizeof link - 1);
    return len > 0 && std::string(link, static_cast<size_t>(len)) == exe;
  };
  for (int i = 0; i < 250 && !(runs_it(kids[0]) && runs_it(kids[1])); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(runs_it(kids[0]) && runs_it(kids[1]));
  EXPECT_TRUE(KillProcessByName(wide + u".exe"));
  // The signal takes a moment: wait until one copy has ended.
  bool ended[2] = {false, false};
  for (int i = 0; i < 250 && !ended[0] && !ended[1]; ++i) {
    for (int k = 0; k < 2; ++k) ended[k] = ended[k] || waitpid(kids[k], nullptr, WNOHANG) == kids[k];
    if (!ended[0] && !ended[1]) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(ended[0], ended[1]) << "exactly one copy ends";
  EXPECT_NE(FindProcessIdByName(wide), 0);
  for (int k = 0; k < 2; ++k) {
    if (ended[k]) continue;
    kill(kids[k], SIGTERM);
    waitpid(kids[k], nullptr, 0);
  }
  EXPECT_FALSE(KillProcessByName(wide));
  system(("rm -rf '" + std::string(dir) + "'").c_str());

  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  std::string own = self;
  own = own.substr(own.find_last_of('/') + 1);
  EXPECT_NE(FindProcessIdByName(MultiByteToWString(own, CP_UTF8)), getpid());
}

}  // namespace
}  // namespace devwarden
