#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "temp_dir.h"

using testing_support::ReadFile;
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

// Makes one file undeletable for the life of the object: an immutable file
// for root (who ignores folder permissions), a read-only folder otherwise.
class Undeletable {
 public:
  explicit Undeletable(const std::string& folder) : folder_(folder), file_(folder + "/f") {
    WriteFile(file_, "x");
    if (::geteuid() == 0) {
      int fd = ::open(file_.c_str(), O_RDONLY);
      int flags = 0;
      immutable_ = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                   (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
      if (fd >= 0) ::close(fd);
      ok_ = immutable_;
    } else {
      ok_ = ::chmod(folder_.c_str(), 0555) == 0;
    }
  }
  ~Undeletable() {
    if (immutable_) {
      int fd = ::open(file_.c_str(), O_RDONLY);
      int flags = 0;
      if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
      }
      if (fd >= 0) ::close(fd);
    } else {
      ::chmod(folder_.c_str(), 0755);
    }
  }
  bool ok() const { return ok_; }

 private:
  std::string folder_, file_;
  bool immutable_ = false;
  bool ok_ = false;
};

TEST(FileUtilTest, DeleteTreeStopsAtFirstFailure) {
  TempDir dir;
  const std::string tree = dir / "tree";
  ::mkdir(tree.c_str(), 0755);
  ::mkdir((tree + "/locked").c_str(), 0755);
  Undeletable stuck(tree + "/locked");
  if (!stuck.ok()) GTEST_SKIP() << "this file system cannot make a file undeletable";
  EXPECT_FALSE(DeleteDirectoryTree(Wide(tree)));
  EXPECT_TRUE(Exists(tree + "/locked/f"));
  EXPECT_TRUE(Exists(tree));
}

TEST(FileUtilTest, CopyFileReplacingTable) {
  TempDir dir;
  const std::string big(200000, 'b');  // more than one block
  WriteFile(dir / "源.apk", big);
  WriteFile(dir / "other", "keep me");
  ::mkdir((dir / "folder").c_str(), 0755);
  ::symlink((dir / "other").c_str(), (dir / "link").c_str());
  struct Case {
    const char* name;
    std::string from, to;
    bool ok;
  } cases[] = {
      {"new file", dir / "源.apk", dir / "copy", true},
      {"replaces a file", dir / "源.apk", dir / "copy", true},
      {"replaces a link, not what it points to", dir / "源.apk", dir / "link", true},
      {"missing source", dir / "missing", dir / "copy2", false},
      {"source is a folder", dir / "folder", dir / "copy3", false},
      {"target folder missing", dir / "源.apk", dir / "no/such", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CopyFileReplacing(Wide(c.from), Wide(c.to)), c.ok);
    struct stat st {};
    if (c.ok) {
      ASSERT_EQ(::lstat(c.to.c_str(), &st), 0);
      EXPECT_TRUE(S_ISREG(st.st_mode));
      EXPECT_EQ(st.st_size, static_cast<off_t>(big.size()));
    } else {
      EXPECT_FALSE(Exists(c.to));
    }
  }
  struct stat other {};
  ASSERT_EQ(::stat((dir / "other").c_str(), &other), 0);
  EXPECT_EQ(other.st_size, 7);
  // No temporary file is left behind.
  int entries = 0;
  if (DIR* d = ::opendir(dir.path().c_str())) {
    while (dirent* e = ::readdir(d)) entries += e->d_name[0] != '.';
    ::closedir(d);
  }
  EXPECT_EQ(entries, 5);  // 源.apk, other, folder, link, copy
}

// Two damaged files of one name in a row keep both: the second never
// replaces the first, and each takes its companion along.
TEST(FileUtilTest, MoveAsideDatedNeverReplaces) {
  TempDir dir;
  const std::string file = dir / "数据.db";
  std::string first_aside;
  for (const char* content : {"first damage", "second damage"}) {
    WriteFile(file, content);
    WriteFile(file + "-journal", std::string(content) + " journal");
    const std::string aside = WStringToMultiByte(MoveAsideDated(Wide(file), {u"-journal", u"-wal"}), CP_UTF8);
    ASSERT_FALSE(aside.empty()) << content;
    EXPECT_EQ(aside.rfind(file + ".damaged-", 0), 0u) << aside;
    EXPECT_NE(aside, first_aside);
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(file + "-journal"));
    EXPECT_FALSE(Exists(aside + "-wal"));  // a missing companion stays missing
    EXPECT_EQ(ReadFile(aside), content);
    EXPECT_EQ(ReadFile(aside + "-journal"), std::string(content) + " journal");
    if (first_aside.empty()) first_aside = aside;
  }
  EXPECT_EQ(ReadFile(first_aside), "first damage");
  EXPECT_TRUE(MoveAsideDated(Wide(dir / "missing")).empty());
}

}  // namespace
