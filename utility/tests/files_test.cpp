// CBaseFile and the _base_ file and folder functions in temporary folders.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <string>

#include "temp_folder.h"
#include "utility/base_file.h"

namespace {

namespace fs = std::filesystem;

TEST(BaseFile, ModesTable) {
  TempFolder dir;
  const std::string path = dir.Write("f.bin", "abc");
  const struct {
    uint32_t mode;
    bool opens;
  } cases[] = {{1, true},  {2, true},   {3, true},  {5, true},  {7, true},  {8, true},
               {10, true}, {11, true},  {17, true}, {18, true}, {19, true}, {26, true},
               {27, true}, {0x1001, true}, {4, false}, {21, false}, {0, false}, {9, false}};
  for (const auto& c : cases) {
    CBaseFile f;
    EXPECT_EQ(f.Open(path.c_str(), c.mode), c.opens) << "mode " << c.mode;
    EXPECT_EQ(f.IsOpen(), c.opens);
  }
}

TEST(BaseFile, RefusedModeClosesThePreviousStream) {
  TempFolder dir;
  const std::string path = dir.Write("f.bin", "abc");
  CBaseFile f;
  ASSERT_TRUE(f.Open(path.c_str(), 17));
  EXPECT_FALSE(f.Open(path.c_str(), 4));
  EXPECT_FALSE(f.IsOpen());
  char c;
  EXPECT_EQ(f.Read(&c, 1), 0);
  EXPECT_EQ(f.GetFileSize(), 0);
  EXPECT_FALSE(f.Seek(0, 0));
}

TEST(BaseFile, ReadWriteSeekSizes) {
  TempFolder dir;
  const std::string path = dir / "data.bin";
  CBaseFile f;
  ASSERT_TRUE(f.Open(path.c_str(), 27));  // w+b
  EXPECT_EQ(f.Write("0123456789", 10), 10);
  ASSERT_TRUE(f.Seek(0, 3));
  ASSERT_TRUE(f.Seek(0, 2));
  EXPECT_EQ(f.GetFileSize(), 3 + 7);
  ASSERT_TRUE(f.Seek(0, 4));
  EXPECT_EQ(f.GetFileSize(), 10);
  char buf[4] = {0};
  EXPECT_EQ(f.Read(buf, 3), 3) << "the size query kept the position";
  EXPECT_EQ(std::string(buf, 3), "456");
  EXPECT_TRUE(f.SetFileSize(5));
  EXPECT_EQ(f.GetFileSize(), 5);
  ASSERT_TRUE(f.Seek(0, 0));
  char all[16];
  EXPECT_EQ(f.Read(all, 16), 5);
  EXPECT_TRUE(f.IsEof());
  EXPECT_TRUE(f.Close());
  EXPECT_TRUE(f.Close()) << "closing twice is harmless";
  EXPECT_EQ(ReadFile(path), "01234");
}

TEST(FileFunctions, CreateCopyRenameDelete) {
  TempFolder dir;
  const std::string empty = dir / "empty";
  EXPECT_EQ(_base_create_file(empty.c_str(), false), 1);
  EXPECT_TRUE(_base_is_file_exist(empty.c_str()));
  const std::string copyEmpty = dir / "copy_empty";
  EXPECT_EQ(_base_copy_file(empty.c_str(), copyEmpty.c_str(), false), 1);
  EXPECT_EQ(fs::file_size(copyEmpty), 0u);

  const std::string three = dir.Write("three", "xyz");
  const std::string target = dir.Write("target", "a much longer old content");
  EXPECT_EQ(_base_copy_file(three.c_str(), target.c_str(), true), 1);
  EXPECT_EQ(ReadFile(target), "xyz");
  EXPECT_EQ(_base_copy_file((dir / "missing").c_str(), target.c_str(), false), 0);

  const std::string renamed = dir / "renamed";
  EXPECT_TRUE(_base_rename_file(target.c_str(), renamed.c_str()));
  EXPECT_FALSE(_base_is_file_exist(target.c_str()));
  EXPECT_EQ(_base_delete_file(renamed.c_str()), 1);
  EXPECT_EQ(_base_delete_file(renamed.c_str()), 0);

  struct stat st;
  EXPECT_EQ(_base_get_file_stat(three.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 3);
  EXPECT_NE(_base_get_file_stat((dir / "missing").c_str(), &st), 0);
}

TEST(FileFunctions, BackslashesAreSeparators) {
  TempFolder dir;
  dir.Write("sub/file.txt", "q");
  const std::string windowsStyle = dir.path() + "\\sub\\file.txt";
  EXPECT_TRUE(_base_is_file_exist(windowsStyle.c_str()));
}

TEST(PathPieces, Table) {
  const struct {
    const char* path;
    const char* ext;
    const char* name;
    const char* dir;
  } cases[] = {
      {"C:\\a.b\\file", "", "file", "C:\\a.b"},
      {"file.tar.gz", "gz", "file.tar.gz", ""},
      {"/x/y.txt", "txt", "y.txt", "/x"},
      {"plain", "", "plain", ""},
      {"dir/", "", "", "dir"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(_base_get_ext_name(c.path), c.ext) << c.path;
    EXPECT_EQ(_base_get_name(c.path), c.name) << c.path;
    EXPECT_EQ(_base_get_file_dir(c.path), c.dir) << c.path;
  }
}

TEST(Folders, CreateKeepsOrReplaces) {
  TempFolder dir;
  const std::string sub = dir / "sub";
  EXPECT_EQ(_base_create_dir(sub.c_str(), false), 1);
  EXPECT_TRUE(_base_is_dir(sub.c_str()));
  dir.Write("sub/keep.txt", "k");
  EXPECT_EQ(_base_create_dir(sub.c_str(), false), 1);
  EXPECT_TRUE(_base_is_file_exist((dir / "sub/keep.txt").c_str()));
  EXPECT_EQ(_base_create_dir(sub.c_str(), true), 1);
  EXPECT_TRUE(_base_is_dir(sub.c_str()));
  EXPECT_FALSE(_base_is_file_exist((dir / "sub/keep.txt").c_str()));
  EXPECT_EQ(_base_create_dir((dir / "no/such/parent").c_str(), false), 0);
  EXPECT_EQ(_base_copy_dir(sub.c_str(), (dir / "other").c_str(), false), -1);
  EXPECT_FALSE(_base_is_dir((dir / "sub/none").c_str()));
}

TEST(Folders, DeleteTreeNeverFollowsLinks) {
  TempFolder outside;
  const std::string precious = outside.Write("precious/data.txt", "keep me");
  TempFolder dir;
  dir.Write("tree/a.txt", "a");
  dir.Write("tree/deep/er/b.txt", "b");
  const std::string readOnly = dir.Write("tree/ro.txt", "r");
  chmod(readOnly.c_str(), 0400);
  ASSERT_EQ(symlink((outside.path() + "/precious").c_str(), (dir / "tree/link_to_dir").c_str()), 0);
  ASSERT_EQ(symlink(precious.c_str(), (dir / "tree/deep/link_to_file").c_str()), 0);

  EXPECT_EQ(_base_delete_dir((dir / "tree").c_str()), 1);
  EXPECT_FALSE(_base_is_dir_exist((dir / "tree").c_str()));
  EXPECT_EQ(ReadFile(precious), "keep me");

  // A link standing where the folder is expected: the link goes, its target stays.
  ASSERT_EQ(symlink((outside.path() + "/precious").c_str(), (dir / "alias").c_str()), 0);
  EXPECT_EQ(_base_delete_dir((dir / "alias").c_str()), 1);
  EXPECT_EQ(ReadFile(precious), "keep me");
  EXPECT_EQ(_base_delete_dir((dir / "missing").c_str()), 0);
}

TEST(Folders, FindFilesWithPrefixRecursively) {
  TempFolder dir;
  dir.Write("App1.txt", "");
  dir.Write("myapp.txt", "");
  dir.Write("sub/apple.ini", "");
  dir.Write("sub/zz.txt", "");
  TempFolder outside;
  outside.Write("appX.txt", "");
  ASSERT_EQ(symlink(outside.path().c_str(), (dir / "linked").c_str()), 0);

  std::list<std::string> found;
  EXPECT_EQ(_base_find_file(dir.path().c_str(), "app", found), 1);
  std::vector<std::string> names;
  for (const std::string& p : found) names.push_back(p.substr(dir.path().size() + 1));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"App1.txt", "sub/apple.ini"}));

  std::list<std::string> all;
  EXPECT_EQ(_base_find_file(dir.path().c_str(), all), 1);
  EXPECT_EQ(all.size(), 4u) << "the linked folder is not entered";
  std::list<std::string> none;
  EXPECT_EQ(_base_find_file((dir / "missing").c_str(), none), 0);

  TempFolder target;
  EXPECT_EQ(_base_copy_file_list(target.path().c_str(), all), 4);
  EXPECT_TRUE(_base_is_file_exist((target / "zz.txt").c_str()));
}

TEST(WellKnownFolders, Table) {
  const std::string app = _base_get_app_path();
  EXPECT_FALSE(app.empty());
  EXPECT_TRUE(_base_is_dir(app.c_str()));
  EXPECT_NE(app.back(), '/');
  const std::string temp = _base_get_system_temp_path();
  EXPECT_EQ(temp.back(), '/');
  EXPECT_EQ(_base_get_window_dir(), "") << "there is no Windows folder";
  EXPECT_EQ(_base_get_system_dir(), "");
  EXPECT_EQ(_base_get_inf_dir(), "");

  TempFolder dir;
  const std::string before = _base_get_current_dir();
  EXPECT_TRUE(_base_set_current_dir(dir.path().c_str()));
  EXPECT_EQ(fs::canonical(_base_get_current_dir()), fs::canonical(dir.path()));
  EXPECT_TRUE(_base_set_current_dir(before.c_str()));
  EXPECT_FALSE(_base_set_current_dir((dir / "missing").c_str()));

  TempFolder home;
  const char* oldHome = getenv("HOME");
  const std::string saved = oldHome ? oldHome : "";
  unsetenv("XDG_DOCUMENTS_DIR");
  setenv("HOME", home.path().c_str(), 1);
  EXPECT_EQ(_base_get_special_dir(5), home / "Documents");
  EXPECT_TRUE(_base_is_dir((home / "Documents").c_str()));
  setenv("HOME", saved.c_str(), 1);
}

}  // namespace
