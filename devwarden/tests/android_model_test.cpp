#include "android_model.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/base_proc.h"
#include "bindings/kitfinder_interface.h"
#include "platform/process_list.h"

namespace devwarden {
namespace {

AndroidModelInfo Parse(const std::u16string& xml, bool* ok = nullptr) {
  AndroidModelInfo info;
  std::memset(&info, 0x7F, sizeof info);
  const bool parsed = ParseAndroidXml(xml, &info);
  if (ok) *ok = parsed;
  return info;
}

TEST(AndroidModelTest, AnswerFieldsAndPhotos) {
  bool ok = false;
  AndroidModelInfo info = Parse(
      u"<Infos><Info><Key>k1</Key><BrandName>Google</BrandName><DeviceName1>Pixel 7</DeviceName1>"
      u"<DeviceName2>Panther</DeviceName2><Photo Type=\"1\"><Size>120x240</Size><URL>http://127.0.0.1/p.png</URL>"
      u"<P>1</P><Q>2</Q><R>3</R><S>4</S></Photo></Info></Infos>",
      &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(info.version, 1);
  EXPECT_EQ(info.size, 2184);
  EXPECT_EQ(std::u16string(info.Key), u"k1");
  EXPECT_EQ(std::u16string(info.BrandName), u"Google");
  EXPECT_EQ(std::u16string(info.DeviceName1), u"Pixel 7");
  EXPECT_EQ(std::u16string(info.DeviceName2), u"Panther");
  EXPECT_EQ(std::u16string(info.Size), u"120x240");
  EXPECT_EQ(std::u16string(info.URL), u"http://127.0.0.1/p.png");
  EXPECT_EQ(std::u16string(info.S), u"4");

  // Only a first Photo of type 1 counts; a later one of type 1 is not read.
  info = Parse(
      u"<Infos><Info><Key>k</Key><Photo Type=\"2\"><URL>a</URL></Photo><Photo Type=\"1\"><URL>b</URL></Photo>"
      u"</Info></Infos>");
  EXPECT_EQ(std::u16string(info.URL), u"");
  EXPECT_EQ(std::u16string(info.Size), u"");

  // A later Info overwrites what it holds and keeps the rest.
  info = Parse(u"<Infos><Info><Key>a</Key><BrandName>One</BrandName></Info><Info><Key>b</Key></Info></Infos>");
  EXPECT_EQ(std::u16string(info.Key), u"b");
  EXPECT_EQ(std::u16string(info.BrandName), u"One");

  // Texts are cut to their fields.
  info = Parse(u"<Infos><Info><Key>" + std::u16string(100, u'k') + u"</Key><Photo Type=\"1\"><URL>" +
               std::u16string(600, u'u') + u"</URL></Photo></Info></Infos>");
  EXPECT_EQ(std::u16string(info.Key), std::u16string(63, u'k'));
  EXPECT_EQ(std::u16string(info.URL), std::u16string(511, u'u'));
}

TEST(AndroidModelTest, AnswersWithoutModels) {
  bool ok = true;
  AndroidModelInfo info = Parse(u"<Other/>", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(info.version, 1) << "a parsable answer still overwrites the destination";
  EXPECT_EQ(info.Key[0], 0);
  info = Parse(u"<Infos></Infos>", &ok);
  EXPECT_FALSE(ok);
  info = Parse(u"<Infos><Info><Key>x</Key>", &ok);  // not well-formed
  EXPECT_FALSE(ok);
  EXPECT_EQ(info.version, 0x7F7F7F7F) << "a broken answer writes nothing";
  EXPECT_FALSE(ParseAndroidXml(u"", nullptr));
  EXPECT_TRUE(ParseAndroidXml(u"<Infos><Info/></Infos>", nullptr));
}

TEST(AndroidModelTest, VendorIdsByMakerName) {
  struct Case {
    const char16_t* name;
    uint16_t vendor;
  } cases[] = {
      {u"LG", 0x1004},         {u"sony", 0x054C},   {u"Ericsson", 0x0FCE}, {u"Fujitsu", 0x04C5},
      {u"xiaomi", 0x2717},     {u"Xiaomi", 0x2717}, {u"nvidia", 0x0955},   {u"Lab126", 0x1949},
      {u"Unknown Maker", 0},   {u"", 0},            {nullptr, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FindVendorIdByName(c.name), c.vendor);
}

// kitfinder's model answer, scripted.
std::u16string g_xml;
int g_model_result = 0;
int g_vendor = -1, g_product = -1;
std::u16string g_adb, g_product_text, g_serial;

int FakeModel(int vendor, int product, const char16_t* adb, const char16_t* product_text, const char16_t* serial,
              char16_t* xml, int capacity) {
  g_vendor = vendor;
  g_product = product;
  g_adb = adb;
  g_product_text = product_text;
  g_serial = serial;
  const size_t n = std::min<size_t>(g_xml.size(), static_cast<size_t>(capacity));
  std::memcpy(xml, g_xml.data(), n * sizeof(char16_t));  // may fill the buffer without a terminator
  return g_model_result;
}

struct ModelQueryTest : ::testing::Test {
  void SetUp() override {
    Kitfinder().Release();
    Kitfinder().DGGetMobileProductInfo = FakeModel;
    setenv("PHONEDECK_STRAY_ADB_NAMES", "", 1);  // never the real adb
    g_model_result = 0;
  }
  void TearDown() override { Kitfinder().Release(); }
};

TEST_F(ModelQueryTest, AskedThroughKitfinder) {
  g_xml = u"<Infos><Info><BrandName>Google</BrandName><DeviceName1>Pixel</DeviceName1></Info></Infos>";
  AndroidModelInfo info{};
  EXPECT_EQ(GetMobileProductInfo(0x18d1, 0x4ee7, u"adb-name", u"Pixel", u"SER", &info), 1);
  EXPECT_EQ(g_vendor, 0x18d1);
  EXPECT_EQ(g_product, 0x4ee7);
  EXPECT_EQ(g_adb, u"adb-name");
  EXPECT_EQ(g_serial, u"SER");
  EXPECT_EQ(std::u16string(info.DeviceName1), u"Pixel");

  AndroidModelInfo untouched{};
  untouched.version = 9;
  g_model_result = 6;
  EXPECT_EQ(GetMobileProductInfo(0x18d1, 0x4ee7, u"", u"", u"", &untouched), 0);
  EXPECT_EQ(untouched.version, 9);
  g_model_result = 0;
  g_xml = std::u16string(2000, u'<');  // fills the buffer: read within it, refused as XML
  EXPECT_EQ(GetMobileProductInfo(0x18d1, 0x4ee7, u"", u"", u"", &untouched), 0);
  EXPECT_EQ(untouched.version, 9);
  Kitfinder().Release();
  EXPECT_EQ(GetMobileProductInfo(0x18d1, 0x4ee7, nullptr, nullptr, nullptr, &untouched), 0);
}

TEST_F(ModelQueryTest, StrayAdbServersAreStoppedFirst) {
  // Uniquely named copies of sleep stand in for the stray servers.
  const std::string a = "devwadb" + std::to_string(getpid()), b = "devwtadb" + std::to_string(getpid());
  char tmpl[] = "/tmp/devwarden-adb-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  ASSERT_EQ(system(("cp /bin/sleep '" + dir + "/" + a + "' && cp /bin/sleep '" + dir + "/" + b + "'").c_str()), 0);
  ASSERT_EQ(system(("'" + dir + "/" + a + "' 30 & '" + dir + "/" + a + "' 30 & '" + dir + "/" + b + "' 30 &").c_str()),
            0);
  const std::u16string wa(a.begin(), a.end()), wb(b.begin(), b.end());
  for (int i = 0; i < 200 && (FindProcessIdByName(wa) == 0 || FindProcessIdByName(wb) == 0); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  setenv("PHONEDECK_STRAY_ADB_NAMES", (a + ".exe," + b + ",devwnothing").c_str(), 1);
  EXPECT_EQ(StrayAdbNames().size(), 3u);
  g_xml = u"<Infos><Info><Key>k</Key></Info></Infos>";
  AndroidModelInfo info{};
  EXPECT_EQ(GetMobileProductInfo(1, 2, u"", u"", u"", &info), 1);
  EXPECT_NE(FindProcessIdByName(wa), 0) << "one process of each name at most";
  for (int i = 0; i < 200 && FindProcessIdByName(wb) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(FindProcessIdByName(wb), 0);
  while (KillProcessByName(wa)) {
  }
  system(("rm -rf '" + dir + "'").c_str());
  unsetenv("PHONEDECK_STRAY_ADB_NAMES");
  const auto names = StrayAdbNames();
  EXPECT_EQ(names, (std::vector<std::u16string>{u"adb.exe", u"tadb.exe", u"mavo_adb.exe"}));
}

// The program's own adb commands run while it asks for the model (an
// install at connect): the sweep ends a stray copy, never a process the
// program started itself, nor one such a process started.
TEST_F(ModelQueryTest, TheSweepSparesWhatTheProgramStarted) {
  const std::string name = "devwown" + std::to_string(getpid());
  char tmpl[] = "/tmp/devwarden-own-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string exe = dir + "/" + name;
  ASSERT_EQ(system(("cp /bin/sleep '" + exe + "'").c_str()), 0);
  // Ours: a child, and a grandchild under a shell that waits for it.
  const pid_t child = fork();
  if (child == 0) {
    execl(exe.c_str(), name.c_str(), "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  const pid_t shell = fork();
  if (shell == 0) {
    execl("/bin/sh", "sh", "-c", ("'" + exe + "' 30; true").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Not ours: the shell that starts it ends at once, so init adopts it.
  ASSERT_EQ(system(("'" + exe + "' 30 & echo $! > '" + dir + "/stray'").c_str()), 0);
  std::ifstream stray_file(dir + "/stray");
  pid_t stray = 0;
  stray_file >> stray;
  ASSERT_GT(stray, 0);
  auto named = [&] {
    std::vector<pid_t> pids;
    for (const platform::ProcessEntry& p : platform::ListProcesses())
      if (p.image_path == exe) pids.push_back(p.pid);
    return pids;
  };
  for (int i = 0; i < 500 && named().size() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(named().size(), 3u);
  pid_t grandchild = 0;
  for (pid_t pid : named())
    if (platform::ParentProcessId(pid) == shell) grandchild = pid;
  ASSERT_GT(grandchild, 0);

  setenv("PHONEDECK_STRAY_ADB_NAMES", name.c_str(), 1);
  g_xml = u"<Infos><Info><Key>k</Key></Info></Infos>";
  AndroidModelInfo info{};
  // Each query ends one process of the name at most: three would end all.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetMobileProductInfo(1, 2, u"", u"", u"", &info), 1);
  EXPECT_TRUE(platform::IsProcessGone(stray)) << "the stray copy still runs";
  EXPECT_FALSE(platform::IsProcessGone(child)) << "the program's own command was ended";
  EXPECT_FALSE(platform::IsProcessGone(grandchild)) << "a command its child started was ended";

  for (pid_t pid : {shell, grandchild, child, stray}) kill(pid, SIGTERM);
  for (pid_t pid : {child, shell}) waitpid(pid, nullptr, 0);
  EXPECT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
}

}  // namespace
}  // namespace devwarden
