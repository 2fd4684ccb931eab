#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "temp_dir.h"

using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::u16string Wide(const std::string& s) { return MultiByteToWString(s, CP_UTF8); }
bool Exists(const std::string& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0;
}

TEST(FileUtilTest, FileExists) {
  TempDir dir;
  WriteFile(dir / "f", "x");
  EXPECT_TRUE(FileExists(Wide(dir.path())));
  EXPECT_TRUE(FileExists(Wide(dir / "f")));
  EXPECT_FALSE(FileExists(Wide(dir / "missing")));
  EXPECT_FALSE(FileExists(u""));
}

TEST(FileUtilTest, PrepareDirectoryTable) {
  TempDir dir;
  const std::string folder = dir / "数据";
  EXPECT_TRUE(PrepareDirectory(Wide(folder), false));  // created
  WriteFile(folder + "/keep", "x");
  EXPECT_TRUE(PrepareDirectory(Wide(folder), false));  // exists: untouched
  EXPECT_TRUE(Exists(folder + "/keep"));
  ::mkdir((folder + "/sub").c_str(), 0755);
  WriteFile(folder + "/sub/ro", "x");
  ::chmod((folder + "/sub/ro").c_str(), 0444);
  EXPECT_TRUE(PrepareDirectory(Wide(folder), true));  // emptied, read-only files too, and there again
  EXPECT_TRUE(Exists(folder));
  EXPECT_FALSE(Exists(folder + "/keep"));
  EXPECT_FALSE(Exists(folder + "/sub"));
  EXPECT_FALSE(PrepareDirectory(Wide(dir / "no/parent"), false));
}

TEST(FileUtilTest, DeleteTreeNeverFollowsLinks) {
  TempDir dir;
  const std::string outside = dir / "outside";
  ::mkdir(outside.c_str(), 0755);
  WriteFile(outside + "/precious", "x");
  const std::string tree = dir / "tree";
  ::mkdir(tree.c_str(), 0755);
  ::mkdir((tree + "/a").c_str(), 0755);
  WriteFile(tree + "/a/f", "x");
  ASSERT_EQ(::symlink(outside.c_str(), (tree + "/a/link").c_str()), 0);
  ASSERT_EQ(::symlink((outside + "/precious").c_str(), (tree + "/filelink").c_str()), 0);
  EXPECT_TRUE(DeleteDirectoryTree(Wide(tree)));
  EXPECT_FALSE(Exists(tree));
  EXPECT_TRUE(Exists(outside + "/precious"));
  // A link given as the folder itself is refused.
  ASSERT_EQ(::symlink(outside.c_str(), (dir / "top").c_str()), 0);
  EXPECT_FALSE(DeleteDirectoryTree(Wide(dir / "top")));
  EXPECT_TRUE(Exists(outside + "/precious"));
  EXPECT_FALSE(DeleteDirectoryTree(Wide(dir / "missing")));
}

TEST(FileUtilTest, DeleteTreeStopsAtFirstFailure) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  const std::string tree = dir / "tree";
  ::mkdir(tree.c_str(), 0755);
  ::mkdir((tree + "/locked").c_str(), 0755);
  WriteFile(tree + "/locked/f", "x");
  ::chmod((tree + "/locked").c_str(), 0555);  // its entries cannot be removed
  EXPECT_FALSE(DeleteDirectoryTree(Wide(tree)));
  EXPECT_TRUE(Exists(tree + "/locked/f"));
  ::chmod((tree + "/locked").c_str(), 0755);
}

}  // namespace
