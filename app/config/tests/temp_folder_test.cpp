// The per-user temporary folder: made 0700 when missing, kept (narrowed to
// 0700) when it is the user's own, refused when another user's folder, a
// link or a file stands in its place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/config/config_mgr.h"
#include "app/config/tests/user_home.h"
#include "foundation/base/code_page.h"

namespace {

class TempFolderTest : public config_test::TempUser {
 public:
  std::string Folder() const { return home_ + "/tmp/qentemp-" + std::to_string(getuid()); }
  void File() { WriteFile("tmp/qentemp-" + std::to_string(getuid()), "x"); }
};

TEST_F(TempFolderTest, OnlyTheUsersOwnFolderIsUsed) {
  struct Case {
    const char* name;
    void (*plant)(TempFolderTest* t);
    bool accepted;
  } cases[] = {
      {"missing", [](TempFolderTest*) {}, true},
      {"the user's own, open to all",
       [](TempFolderTest* t) {
         ASSERT_EQ(mkdir(t->Folder().c_str(), 0700), 0);
         ASSERT_EQ(chmod(t->Folder().c_str(), 0777), 0);
       },
       true},
      {"another user's",
       [](TempFolderTest* t) {
         ASSERT_EQ(mkdir(t->Folder().c_str(), 0700), 0);
         ASSERT_EQ(chown(t->Folder().c_str(), 4242, 4242), 0);
       },
       false},
      {"a link to a folder",
       [](TempFolderTest* t) {
         ASSERT_EQ(mkdir((t->Folder() + "-real").c_str(), 0700), 0);
         ASSERT_EQ(symlink((t->Folder() + "-real").c_str(), t->Folder().c_str()), 0);
       },
       false},
      {"a file", [](TempFolderTest* t) { t->File(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(std::system(("rm -rf '" + Folder() + "' '" + Folder() + "-real'").c_str()), 0);
    ASSERT_NO_FATAL_FAILURE(c.plant(this));
    CConfigMgr config;
    config.Init();
    EXPECT_EQ(WStringToAnsi(config.GetTempDir()), c.accepted ? Folder() : "");
    if (c.accepted) {
      struct stat st;
      ASSERT_EQ(lstat(Folder().c_str(), &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
  }
}

}  // namespace
