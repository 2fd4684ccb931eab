// Statistics report bodies and URLs, pinned, and the reports as a loopback
// server receives them through the posting library.
#include "app/web/stat_report.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "app/bindings/lettermill_interface.h"
#include "app/bindings/stat_library.h"
#include "app/connect/connect_state.h"
#include "app/web/tests/loopback_server.h"

namespace {

TEST(StatReport, ApkStatBodyIsPinned) {
  EXPECT_EQ(BuildApkStatJson(kStatInstall, kStatSuccess, "Zelvik手游助手", "com.zelvik.assist"),
            "{\n"
            "   \"action\" : \"install\",\n"
            "   \"appid\" : \"\",\n"
            "   \"appname\" : \"Zelvik手游助手\",\n"
            "   \"from\" : \"\",\n"
            "   \"package\" : \"com.zelvik.assist\",\n"
            "   \"result\" : \"success\"\n"
            "}\n");
  EXPECT_NE(BuildApkStatJson(kStatDownload, kStatStop, "a", "b", "42", "store").find("\"from\" : \"store\""),
            std::string::npos);
}

TEST(StatReport, ConnectStatBodyIsPinned) {
  EXPECT_EQ(BuildConnectStatJson(kStatConnect, kConn_Start, "Zelvik", "Z1 Sim", "18d1", "4ee7", "ZSIM00000001"),
            "{\n"
            "   \"action\" : \"connect\",\n"
            "   \"bandname\" : \"Zelvik\",\n"
            "   \"pid\" : \"4ee7\",\n"
            "   \"productname\" : \"Z1 Sim\",\n"
            "   \"sn\" : \"ZSIM00000001\",\n"
            "   \"status\" : \"kConn_Start\",\n"
            "   \"vid\" : \"18d1\"\n"
            "}\n");
}

TEST(StatReport, MissingTextsAndBadIndexesGiveNoBody) {
  struct Case {
    const char* name;
    std::string body;
  } cases[] = {
      {"no app name", BuildApkStatJson(0, 0, nullptr, "p")},
      {"no package", BuildApkStatJson(0, 0, "a", nullptr)},
      {"action 4", BuildApkStatJson(4, 0, "a", "p")},
      {"result 4", BuildApkStatJson(0, 4, "a", "p")},
      {"negative action", BuildApkStatJson(-1, 0, "a", "p")},
      {"no serial", BuildConnectStatJson(3, 1, "b", "p", "v", "i", nullptr)},
      {"no brand", BuildConnectStatJson(3, 1, nullptr, "p", "v", "i", "s")},
      {"connect action 4", BuildConnectStatJson(4, 1, "b", "p", "v", "i", "s")},
  };
  for (const Case& c : cases) EXPECT_EQ(c.body, "") << c.name;
  EXPECT_NE(BuildConnectStatJson(3, 17, "", "", "", "", ""), "") << "empty texts are texts";
}

class StatReportPostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/stat_report_test_XXXXXX";
    folder_ = mkdtemp(pattern);
    for (const char* name : {"libLettermill.so", "libTallyhand.so"}) {
      std::ifstream in(std::string(PD_BIN_DIR) + "/" + name, std::ios::binary);
      std::ofstream out(folder_ + "/" + name, std::ios::binary);
      out << in.rdbuf();
    }
    std::system(("mkdir -p '" + folder_ + "/log'").c_str());
    setenv("PHONEDECK_PROGRAM_DIR", folder_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    CLettermillInterface::Instance()->InitPost();
  }
  static void TearDownTestSuite() {
    CLettermillInterface::Release();
    unsetenv(kStatHostEnv);
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }
  static std::string folder_;
};
std::string StatReportPostTest::folder_;

TEST_F(StatReportPostTest, ReportsReachTheConfiguredHost) {
  web_test::LoopbackServer http;
  http.server().Post("/service/ClientRep.ashx", [&](const httplib::Request& req, httplib::Response& res) {
    http.Record(req);
    res.set_content("ok", "text/plain");
  });
  http.Start();
  setenv(kStatHostEnv, (http.Base() + "/").c_str(), 1);

  ReportApkStat(kStatUpdate, kStatFailed, "天气预报", "com.zelvik.demo.weather");
  ReportConnectStat(kStatConnect, kConn_Sucess, "Zelvik", "Z1 Sim", "18d1", "4ee7", "SER");
  ReportApkStat(kStatUpdate, 4, "a", "b");                            // result 4: nothing
  ReportConnectStat(kStatConnect, 1, "b", "p", "v", "i", nullptr);    // missing serial: nothing

  const std::vector<web_test::SeenRequest> seen = http.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].target, "/service/ClientRep.ashx?act=apkstat&hostmark=&uid=1110");
  EXPECT_EQ(seen[0].body, BuildApkStatJson(kStatUpdate, kStatFailed, "天气预报", "com.zelvik.demo.weather"));
  EXPECT_NE(seen[0].content_type.find("application/json"), std::string::npos);
  EXPECT_EQ(seen[1].body, BuildConnectStatJson(kStatConnect, kConn_Sucess, "Zelvik", "Z1 Sim", "18d1", "4ee7", "SER"));
  EXPECT_EQ(ConnectStatUrl(1110), http.Base() + "/service/ClientRep.ashx?act=connectstat&uid=1110&hostmark=");
}

TEST_F(StatReportPostTest, UserActionsGoToTheStatisticsLibrary) {
  unsetenv("PHONEDECK_STAT_URL");  // the library keeps its reports in its local file
  ASSERT_TRUE(OpenStatLibrary());
  ReportUserAction(0, 5, "never");
  ReportUserAction(12, 5, "点击安装");
  CloseStatLibrary();
  std::ifstream in(folder_ + "/log/tallyhand.log", std::ios::binary);
  const std::string reports((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(reports.find("点击安装"), std::string::npos) << reports;
  EXPECT_EQ(reports.find("never"), std::string::npos) << "action 0 is not reported";
}

TEST(StatReport, HostDefaultsToLoopback) {
  unsetenv(kStatHostEnv);
  EXPECT_EQ(ApkStatUrl(7), "http://127.0.0.1/service/ClientRep.ashx?act=apkstat&uid=7&hostmark=");
}

}  // namespace
