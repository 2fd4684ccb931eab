// Two photos whose phone paths share a CRC-32 share one full-picture cache
// name: whichever is shown or exported gets its own picture, fetched again
// when the cached file is the other's (told apart by size). The real adb
// and the simulated phone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/data/picture_mgr.h"
#include "app/data/sms_utility.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/sim_phone.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream out;
  out << in.rdbuf();
  return in ? out.str() : std::string("<missing>");
}

// Two names under the import folder whose phone paths have one CRC-32.
constexpr char16_t kFolder[] = u"/storage/sdcard0/DCIM/Camera/";
constexpr char kFirst[] = "IMG_jbcruyls.jpg";
constexpr char kSecond[] = "IMG_wodzeplw.jpg";

class PictureCacheSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(phone_.Start()) << phone_.sim.Failure();
    testing_support::PointProgramAtSim(phone_.sim);
    CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", phone_.sim.Port("ftp_port"));
    message_sink::Take();
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopAll();
    EXPECT_EQ(phone_.sim.Errors(), "[]");
    phone_.sim.Stop();
  }
  std::string Local(const std::string& name) const { return folders_.folder().File(name); }

  // Imports `bytes` as `name`; the new photo's id.
  int32_t Import(const std::string& name, const std::string& bytes) {
    const std::string source = Local(name);
    std::ofstream(source, std::ios::binary) << bytes;
    posts_.Clear();
    EXPECT_TRUE(pictures_.AdbCopyFile(AnsiToWString(source)));
    EXPECT_TRUE(posts_.WaitForMessage(msg::kPictureAdded));
    const auto added = posts_.Of(msg::kPictureAdded);
    return added.empty() ? -1 : static_cast<int32_t>(added.at(0).first);
  }
  // Shows the photo as the viewer asks for it; the file the viewer then reads.
  std::string Show(int32_t id) {
    posts_.Clear();
    pictures_.LoadImage(id);
    EXPECT_TRUE(posts_.WaitFor(msg::kImageReady, static_cast<uintptr_t>(id)));
    return ReadAll(WStringToAnsi(pictures_.FindImageById(id)->image_cache_path));
  }

  data_test::PrivateFolders folders_;
  data_test::SimPhone phone_;
  data_test::Posts posts_;
  CPictureMgr pictures_;
};

TEST_F(PictureCacheSimTest, PhotosSharingACacheNameEachShowAndExportTheirOwn) {
  ASSERT_EQ(MakeTextKey(kFolder + AnsiToWString(kFirst)), MakeTextKey(kFolder + AnsiToWString(kSecond)));
  posts_.Clear();
  pictures_.LoadImageList();
  ASSERT_TRUE(posts_.WaitFor(msg::kPictureBusy, 0));
  // Any JPEG bytes will do for the cache; the sizes differ.
  const std::string jpeg = ReadAll(phone_.sim.Field("root") + "/storage/sdcard0/DCIM/Camera/IMG_20260302_100000.jpg");
  const std::string first = jpeg, second = jpeg + std::string(100, '\0');
  const int32_t a = Import(kFirst, first);
  const int32_t b = Import(kSecond, second);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);

  EXPECT_EQ(Show(a) == first, true);
  EXPECT_EQ(Show(b) == second, true) << "the first photo's cached file was taken for the second";
  // The cache file is the second's now: the first is fetched again.
  EXPECT_EQ(Show(a) == first, true);
  mkdir(Local("out").c_str(), 0700);
  ASSERT_TRUE(pictures_.ExportImage(AnsiToWString(Local("out")), b));
  EXPECT_EQ(ReadAll(Local(std::string("out/") + kSecond)) == second, true);
  ASSERT_TRUE(pictures_.ExportImage(AnsiToWString(Local("out")), a));
  EXPECT_EQ(ReadAll(Local(std::string("out/") + kFirst)) == first, true);
}

}  // namespace
