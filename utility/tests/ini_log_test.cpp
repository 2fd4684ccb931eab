// CBaseIni round trips, the shared log's line format and references, and
// the scope tracer's numbering.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

#include "temp_folder.h"
#include "utility/base_file.h"
#include "utility/base_ini.h"
#include "utility/base_log.h"

namespace {

TEST(Ini, StringsAndIntegersRoundTrip) {
  TempFolder dir;
  CBaseIni ini((dir / "settings.ini").c_str());
  EXPECT_TRUE(ini.WriteStr("PROXY", "proxy_server", "127.0.0.1"));
  EXPECT_TRUE(ini.WriteInt("PROXY", "proxy_port", 1080));
  EXPECT_TRUE(ini.WriteInt("Other", "negative", -42));
  EXPECT_TRUE(ini.WriteStr("PROXY", "proxy_server", "10.0.0.9")) << "an existing key is replaced";

  std::string server;
  EXPECT_EQ(ini.ReadStr("proxy", "PROXY_SERVER", "", server), 8u) << "names ignore case";
  EXPECT_EQ(server, "10.0.0.9");
  EXPECT_EQ(ini.ReadInt("PROXY", "proxy_port", 0), 1080);
  EXPECT_EQ(ini.ReadInt("Other", "negative", 0), -42);
  EXPECT_EQ(ini.ReadInt("PROXY", "missing", 7), 7);

  std::string untouched = "before";
  EXPECT_EQ(ini.ReadStr("PROXY", "missing", "", untouched), 0u);
  EXPECT_EQ(untouched, "before");
  EXPECT_EQ(ini.ReadStr("PROXY", "missing", "fallback", untouched), 8u);
  EXPECT_EQ(untouched, "fallback");

  EXPECT_TRUE(ini.WriteStr("PROXY", "proxy_port", nullptr)) << "a null value deletes the key";
  EXPECT_EQ(ini.ReadInt("PROXY", "proxy_port", -1), -1);
}

TEST(Ini, ReadsFilesWrittenByHand) {
  TempFolder dir;
  const std::string path = dir.Write("hand.ini",
                                     "; comment\r\n[PROXY]\r\n  proxy_enable = 1 \r\nproxy_user=\"a b\"\r\n"
                                     "\r\n[filter]\r\nudp.log=-1\r\n");
  CBaseIni ini;
  ini.Ini(path.c_str());
  EXPECT_EQ(ini.ReadInt("PROXY", "proxy_enable", 0), 1);
  std::string user;
  ini.ReadStr("PROXY", "proxy_user", "", user);
  EXPECT_EQ(user, "a b");
  EXPECT_EQ(ini.ReadInt("filter", "udp.log", 0), -1);
  char names[64];
  const int n = ini.GetAllSectionNames(names, sizeof(names));
  EXPECT_EQ(std::string(names, static_cast<size_t>(n)), std::string("PROXY\0filter\0", 13));

  // Writing keeps what was there.
  ASSERT_TRUE(ini.WriteStr("filter", "relaylink.log", "2"));
  EXPECT_EQ(ini.ReadInt("PROXY", "proxy_enable", 0), 1);
  EXPECT_EQ(ini.ReadInt("filter", "relaylink.log", 0), 2);
  EXPECT_NE(ReadFile(path).find("; comment"), std::string::npos);
}

TEST(Ini, Int64AboveThirtyTwoBitsAndLongValues) {
  TempFolder dir;
  CBaseIni ini((dir / "big.ini").c_str());
  ASSERT_TRUE(ini.WriteStr("s", "big", "12345678901"));
  EXPECT_EQ(ini.ReadInt64("s", "big", 0), 12345678901LL);
  EXPECT_EQ(ini.ReadInt64("s", "missing", -9876543210LL), -9876543210LL);
  ASSERT_TRUE(ini.WriteStr("s", "long", std::string(400, 'v').c_str()));
  std::string value;
  EXPECT_EQ(ini.ReadStr("s", "long", "", value), 255u);
  EXPECT_EQ(value.size(), 255u);
}

TEST(Ini, StructuresCarryAChecksum) {
  TempFolder dir;
  const std::string path = dir / "struct.ini";
  CBaseIni ini(path.c_str());
  const unsigned char data[5] = {0x01, 0xFF, 0x10, 0x00, 0x7A};
  ASSERT_TRUE(ini.WriteStruct("blob", "key", data, sizeof(data)));
  unsigned char back[5] = {0};
  ASSERT_TRUE(ini.ReadStruct("blob", "key", back, sizeof(back)));
  EXPECT_EQ(std::memcmp(back, data, 5), 0);
  EXPECT_FALSE(ini.ReadStruct("blob", "key", back, 4)) << "the size must match";

  CBaseIni copy;
  copy = ini;
  ASSERT_TRUE(copy.WriteStr("blob", "key", "01FF10007A00"));  // wrong checksum byte
  EXPECT_FALSE(copy.ReadStruct("blob", "key", back, sizeof(back)));
}

TEST(Ini, MissingFileReadsDefaults) {
  CBaseIni ini("/no/such/folder/x.ini");
  std::string v;
  EXPECT_EQ(ini.ReadStr("a", "b", "d", v), 1u);
  EXPECT_EQ(ini.ReadInt("a", "b", 3), 3);
  EXPECT_FALSE(ini.WriteStr("a", "b", "c"));
  char names[8];
  EXPECT_EQ(ini.GetAllSectionNames(names, sizeof(names)), 0);
}

// --- The shared log ----------------------------------------------------------

// Text against a shape in which '#' stands for one decimal digit.
bool MatchesShape(const std::string& text, const std::string& shape) {
  if (text.size() != shape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (shape[i] == '#' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i]) {
      return false;
    }
  }
  return true;
}

// A folder beside the test program (the log lives below the program folder).
class LogTest : public ::testing::Test {
 protected:
  LogTest() : m_dir(_base_get_app_path()) {
    m_name = std::filesystem::path(m_dir.path()).filename().string() + "/test.log";
    m_file = m_dir / "test.log";
  }
  ~LogTest() override {
    // Give back every reference a failed test may have left.
    while (CBaseLog::Log()->IsOpen()) CBaseLog::Log()->CloseLog();
    CBaseLog::Unlog();
  }

  TempFolder m_dir;
  std::string m_name;  // relative to the program folder
  std::string m_file;
};

TEST_F(LogTest, LineFormatAndLevels) {
  CBaseLog* log = CBaseLog::Log();
  ASSERT_TRUE(log->OpenLog(m_name.c_str()));
  log->OutFile(1, "not written %d", 1);
  log->OutFile(2, "port=%d host=%s", 6011, "relay");
  log->OutFile(3, "also");
  log->OutFile(2, "%s", std::string(400, 'L').c_str());
  EXPECT_EQ(log->WriteLog("raw bytes\n", 10), 10);
  log->CloseLog();
  EXPECT_FALSE(log->IsOpen());
  EXPECT_EQ(log->WriteLog("late", 4), 0);

  const std::vector<std::string> expected = {
      "[####-##-## ##:##:##] port=6011 host=relay\r\n",
      "[####-##-## ##:##:##] also\r\n",
      "[####-##-## ##:##:##] " + std::string(255, 'L') + "\r\n",
      "[####-##-## ##:##:##]raw bytes\n",
  };
  std::string shapes;
  for (const std::string& line : expected) shapes += line;
  EXPECT_TRUE(MatchesShape(ReadFile(m_file), shapes)) << ReadFile(m_file);
}

TEST_F(LogTest, OversizedFileStartsAnewLargeOneIsAppended) {
  const std::string big(6 * 1024 * 1024, 'x');
  m_dir.Write("test.log", big);
  CBaseLog* log = CBaseLog::Log();
  ASSERT_TRUE(log->OpenLog(m_name.c_str()));
  log->OutFile(2, "fresh");
  log->CloseLog();
  EXPECT_LT(std::filesystem::file_size(m_file), 100u);

  m_dir.Write("test.log", std::string(5242880, 'y'));
  ASSERT_TRUE(log->OpenLog(m_name.c_str()));
  log->OutFile(2, "appended");
  log->CloseLog();
  EXPECT_GT(std::filesystem::file_size(m_file), 5242880u);
}

// Two libraries share the log: the one that did not open it cannot close
// it from under the other, and teardown may run more than once.
TEST_F(LogTest, SharedByTwoLibraries) {
  CBaseLog* log = CBaseLog::Log();
  ASSERT_TRUE(log->OpenLog(m_name.c_str()));                  // first library
  EXPECT_FALSE(log->OpenLog("other.log")) << "already open";  // second library
  log->CloseLog();                                            // second library unloads
  CBaseLog::Unlog();                                          // ... and asks to drop the log
  ASSERT_EQ(CBaseLog::m_log, log) << "still in use";
  EXPECT_TRUE(log->IsOpen());
  log->OutFile(2, "first library still logs");
  log->CloseLog();                                            // first library unloads
  EXPECT_FALSE(log->IsOpen());
  CBaseLog::Unlog();
  EXPECT_EQ(CBaseLog::m_log, nullptr);
  CBaseLog::Unlog();  // again: nothing happens
  EXPECT_NE(ReadFile(m_file).find("first library still logs"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(m_dir / "../other.log"));
}

TEST(FunctionCheckerTest, NumbersInstancesInOrder) {
  const uint32_t before = FunctionChecker::g_nCheckerCounter;
  {
    FunctionChecker a("CRelaylinkInterface::Init()");
    FunctionChecker b("inner");
  }
  EXPECT_EQ(FunctionChecker::g_nCheckerCounter, before + 2);
}

}  // namespace
