// Ending the processes that run from a folder, or by image name.
#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include "setupaide/setupaide.h"
#include "setupaide/setupaide_internal.h"
#include "setupaide/tests/test_support.h"

namespace {

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Waits for a child of the test: true when SIGTERM ended it, false when it is
// still running after `ms` milliseconds.
bool EndedBySigterm(pid_t pid, int ms) {
  for (int i = 0; i < ms / 10; ++i) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
    usleep(10000);
  }
  return false;
}

// Waits until the child runs `image` (its exec is done, so /proc shows it);
// false after `ms` milliseconds.
bool RunsImage(pid_t pid, const std::string& image, int ms) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  for (int i = 0; i < ms / 5; ++i) {
    char target[4096];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == image) return true;
    usleep(5000);
  }
  return false;
}

void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

class SetupaideKill : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = setupaide_test::MakeTempDir();
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { setupaide_test::RemoveTree(dir_); }
  std::string Copy(const std::string& from, const std::string& to) {
    EXPECT_TRUE(setupaide_test::CopyExecutable(from, dir_ + to));
    return dir_ + to;
  }
  std::string dir_;
};

TEST_F(SetupaideKill, EndsProcessesUnderTheFolderOnly) {
  ASSERT_EQ(mkdir((dir_ + "/app").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir_ + "/app/tools").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir_ + "/outside").c_str(), 0755), 0);
  const std::string top = Copy("/bin/sleep", "/app/sleep");
  const std::string nested = Copy("/bin/sleep", "/app/tools/sleep2");
  const std::string outside = Copy("/bin/sleep", "/outside/sleep");
  // A link inside the folder to a folder outside is not followed.
  ASSERT_EQ(symlink((dir_ + "/outside").c_str(), (dir_ + "/app/linked").c_str()), 0);

  const pid_t a = setupaide_test::Spawn({top, "60"});
  const pid_t b = setupaide_test::Spawn({nested, "60"});
  const pid_t c = setupaide_test::Spawn({outside, "60"});
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ASSERT_GT(c, 0);
  ASSERT_TRUE(RunsImage(a, top, 10000));
  ASSERT_TRUE(RunsImage(b, nested, 10000));
  ASSERT_TRUE(RunsImage(c, outside, 10000));

  // The folder given with a trailing slash.
  EXPECT_EQ(KillProcessByFolder(Widen(dir_ + "/app/").c_str()), 2);
  EXPECT_TRUE(EndedBySigterm(a, 2000));
  EXPECT_TRUE(EndedBySigterm(b, 2000));
  EXPECT_FALSE(EndedBySigterm(c, 200)) << "a process outside the folder was ended";
  Stop(c);
}

TEST_F(SetupaideKill, TheCallerInsideTheFolderSurvivesAndFinishesTheScan) {
  ASSERT_EQ(mkdir((dir_ + "/app").c_str(), 0755), 0);
  const std::string probe = Copy(SETUPAIDE_PROBE, "/app/Phonedeck");
  const std::string worker = Copy("/bin/sleep", "/app/zz_worker");
  const pid_t w = setupaide_test::Spawn({worker, "60"});
  ASSERT_GT(w, 0);
  ASSERT_TRUE(RunsImage(w, worker, 10000));
  int code = -1;
  EXPECT_EQ(setupaide_test::RunAndRead({probe, SETUPAIDE_LIBRARY, "kill_folder", dir_ + "/app"}, &code),
            "1\n");
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(EndedBySigterm(w, 2000));
}

TEST_F(SetupaideKill, NullMissingOrEmptyFolderEndsNothing) {
  EXPECT_EQ(KillProcessByFolder(nullptr), 0);
  EXPECT_EQ(KillProcessByFolder(u""), 0);
  EXPECT_EQ(KillProcessByFolder(Widen(dir_ + "/missing").c_str()), 0);
  EXPECT_EQ(KillProcessByFolder(Widen(dir_).c_str()), 0);
}

TEST_F(SetupaideKill, ListingSkipsDotNamesAndLinks) {
  ASSERT_EQ(mkdir((dir_ + "/d").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir_ + "/.hidden").c_str(), 0755), 0);
  { std::ofstream(dir_ + "/d/file"); }
  { std::ofstream(dir_ + "/.hidden/file"); }
  { std::ofstream(dir_ + "/.dotfile"); }
  ASSERT_EQ(symlink((dir_ + "/d/file").c_str(), (dir_ + "/link").c_str()), 0);
  EXPECT_EQ(setupaide::ListFolderFiles(dir_), std::vector<std::string>{dir_ + "/d/file"});
}

TEST_F(SetupaideKill, KillByImageNameIgnoresCase) {
  std::random_device random;
  const std::string name = "pdkill_" + std::to_string(random() % 1000000);
  ASSERT_EQ(mkdir((dir_ + "/one").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir_ + "/two").c_str(), 0755), 0);
  const std::string image_a = Copy("/bin/sleep", "/one/" + name);
  const std::string image_b = Copy("/bin/sleep", "/two/" + name);
  const std::string image_other = Copy("/bin/sleep", "/two/other_" + name);
  const pid_t a = setupaide_test::Spawn({image_a, "60"});
  const pid_t b = setupaide_test::Spawn({image_b, "60"});
  const pid_t other = setupaide_test::Spawn({image_other, "60"});
  ASSERT_TRUE(RunsImage(a, image_a, 10000));
  ASSERT_TRUE(RunsImage(b, image_b, 10000));
  ASSERT_TRUE(RunsImage(other, image_other, 10000));
  std::string upper = name;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  KillProcessA(upper.c_str());
  EXPECT_TRUE(EndedBySigterm(a, 2000));
  EXPECT_TRUE(EndedBySigterm(b, 2000));
  EXPECT_FALSE(EndedBySigterm(other, 200));
  Stop(other);
  KillProcessA(nullptr);
}

}  // namespace
