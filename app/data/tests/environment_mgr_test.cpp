// The environment manager against a stand-in agent on loopback: the record
// read from "environment", the storage sizes of "storagesize_info", the
// busy rule of the storage request, copies for readers, no grab without a
// phone.
#include "app/data/environment_mgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/data/tests/data_test_support.h"
#include "app/data/tests/scripted_agent.h"

namespace {

using data_test::AgentAnswer;

std::u16string KnownModel(const std::u16string& model) { return model == u"ZP-100" ? u"Zelvik/ZP 100" : u""; }

std::string PhoneElement(const std::string& model, const std::string& sd, const std::string& root) {
  return "<phone versionCode=\"19\" mobileModel=\"" + model + "\" sdCardSet=\"" + sd +
         "\" batteryLevel=\"87\" rootPrivileges=\"" + root +
         "\" androidID=\"a1b2\" sdRootPath=\"/storage/sdcard0\" internalStorageSize=\"8589934592\" "
         "internalStorageAvaSize=\"1073741824.5\" sdStorageSize=\"0\" sdStorageAvaSize=\"0\"/>";
}

class EnvironmentMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    message_sink::Take();
    CEnvironmentMgr::SetDisplayNameLookup(&KnownModel);
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopFor(&environment_);
    CEnvironmentMgr::SetDisplayNameLookup(nullptr);
  }

  data_test::PrivateFolders folders_;
  data_test::ScriptedAgent agent_;
  data_test::Posts posts_;
  CEnvironmentMgr environment_;
};

TEST_F(EnvironmentMgrTest, EnvironmentRecordAndFlags) {
  struct Case {
    const char* name;
    std::string payload;
    bool sd_card;
    bool rooted;
    const char16_t* display_name;
  } cases[] = {
      {"flags 1, known model", PhoneElement("ZP-100", "1", "1"), true, true, u"Zelvik/ZP 100"},
      {"flags 2 and true, unknown model", PhoneElement("X-1", "2", "true"), false, false, u""},
      {"flags 01", PhoneElement("ZP-100", "01", " 1"), false, false, u"Zelvik/ZP 100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posts_.Clear();
    agent_.Reply("environment", c.payload);
    environment_.RequestEnvironment();
    ASSERT_TRUE(posts_.WaitForMessage(msg::kEnvironmentParsed));
    if (c.display_name[0] != 0) {
      ASSERT_TRUE(posts_.WaitForMessage(msg::kEnvironmentTextReady));
    }
    ASSERT_TRUE(data_test::WaitUntil([&] { return environment_.GetEnvironment().display_name == c.display_name; }));
    const PhoneEnvironment env = environment_.GetEnvironment();
    EXPECT_EQ(env.sd_card, c.sd_card);
    EXPECT_EQ(env.rooted, c.rooted);
    EXPECT_EQ(env.battery_level, 87);
    EXPECT_EQ(env.version_code, u"19");
    EXPECT_EQ(env.android_id, u"a1b2");
    EXPECT_EQ(env.sd_root_path, u"/storage/sdcard0");
    EXPECT_EQ(env.internal_total, 8589934592.0);
    EXPECT_EQ(env.internal_available, 1073741824.5);
    EXPECT_EQ(posts_.Of(msg::kEnvironmentTextReady).size(), c.display_name[0] != 0 ? 1u : 0u);
  }
  // No `phone` element: the old values stay, 1228 is posted again.
  posts_.Clear();
  agent_.Reply("environment", "");
  environment_.RequestEnvironment();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kEnvironmentParsed));
  EXPECT_EQ(environment_.GetEnvironment().battery_level, 87);
}

TEST_F(EnvironmentMgrTest, StorageSizesOneRequestAtATime) {
  agent_.Reply("environment", PhoneElement("ZP-100", "1", "0"));
  environment_.RequestEnvironment();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kEnvironmentParsed));
  // The storage request goes out with the command id "environment" and is
  // read as sizes only.
  agent_.Set("environment", {AgentAnswer::kHang, ""});
  posts_.Clear();
  environment_.RequestStorage();
  environment_.RequestStorage();  // outstanding: nothing sent
  ASSERT_TRUE(data_test::WaitUntil([&] { return agent_.Count("environment") == 2; }));
  EXPECT_TRUE(environment_.IsBusy());
  CSocketThreadMgr::Instance()->StopFor(&environment_);
  ASSERT_TRUE(data_test::WaitUntil([&] { return !environment_.IsBusy(); }));  // the failure ended it
  agent_.Reply("environment", "<phone internalStorageSize=\"100\" internalStorageAvaSize=\"50\" sdStorageSize=\"200\" "
                              "sdStorageAvaSize=\"25\" batteryLevel=\"3\"/>");
  environment_.RequestStorage();
  ASSERT_TRUE(posts_.WaitForMessage(msg::kStorageSizeParsed));
  ASSERT_TRUE(data_test::WaitUntil([&] { return !environment_.IsBusy(); }));
  const PhoneEnvironment env = environment_.GetEnvironment();
  EXPECT_EQ(env.internal_total, 100.0);
  EXPECT_EQ(env.sd_available, 25.0);
  EXPECT_EQ(env.battery_level, 87);  // not read from a storage reply
  EXPECT_EQ(env.display_name, u"Zelvik/ZP 100");
  EXPECT_EQ(agent_.Count("storagesize_info"), 0);
  EXPECT_TRUE(posts_.Of(msg::kEnvironmentParsed).empty());
}

// Readers take copies while replies rewrite the strings.
TEST_F(EnvironmentMgrTest, ReadersGetCopiesWhileRepliesArrive) {
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      const PhoneEnvironment env = environment_.GetEnvironment();
      EXPECT_TRUE(env.model.empty() || env.model == u"ZP-100" || env.model == u"Another-Model-With-A-Long-Name");
    }
  });
  for (int i = 0; i < 10; ++i) {
    posts_.Clear();
    agent_.Reply("environment", PhoneElement(i % 2 ? "ZP-100" : "Another-Model-With-A-Long-Name", "1", "0"));
    environment_.RequestEnvironment();
    ASSERT_TRUE(posts_.WaitForMessage(msg::kEnvironmentParsed));
  }
  stop = true;
  reader.join();
}

TEST_F(EnvironmentMgrTest, NoScreenShotWithoutAPhone) {
  environment_.GetScreenShot(nullptr);
  environment_.GetScreenShot(u"/nonexistent/shot.png");
  EXPECT_TRUE(posts_.All().empty());
}

}  // namespace
