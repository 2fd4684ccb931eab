// The engine client over the scripted P2SP exports: the binding by name and
// the empty-slot defaults, the client's start, the downloader's resume or
// restart, and the package.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/task/driver_package.h"
#include "app/task/p2sp_client.h"
#include "app/task/tests/scripted_engine.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"

namespace {

class EngineClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ScriptedEngine::Get().Reset(); }
  void TearDown() override { P2SPClient::Release(); }
};

TEST(PackageId, IsTheCrcOfTheUrlsUtf16LeBytes) {
  const unsigned char bytes[] = {0x61, 0x00};
  CCrc32 crc;
  crc.Update(bytes, sizeof(bytes));
  EXPECT_EQ(PNPDriverPackage(u"a").GetTaskId(), crc.Final());
  EXPECT_NE(PNPDriverPackage(u"a").GetTaskId(), PNPDriverPackage(u"b").GetTaskId());
}

TEST_F(EngineClientTest, ClientStartInitsSetsTheTwoPropertiesAndRuns) {
  BindScriptedClient();
  P2SPClient* client = P2SPClient::Get();
  client->SetWorkPath(u"/tmp/引擎");
  EXPECT_TRUE(client->Start());
  client->Stop();
  EXPECT_EQ(ScriptedEngine::Get().Calls(),
            (std::vector<std::string>{"Init /tmp/引擎", "SetProperty qen_version 8", "SetProperty union_id 2", "Run",
                                      "Stop", "Close"}));
}

TEST_F(EngineClientTest, StatusKeepsOnlyTheLowByte) {
  BindScriptedClient();
  ScriptedEngine::Get().SetStatus("http://h/a.apk", 0x106);
  EXPECT_EQ(HashFileDownloader(u"http://h/a.apk").GetStatus(), 6);
}

struct StartCase {
  const char* name;
  int status;  // -1: the engine has no task for the URL
  int check1;
  int check2;
  bool run_task_ex;
  std::vector<std::string> calls;  // after the first CheckTaskEx
};

class StartDownloadTest : public EngineClientTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartDownloadTest, ResumesAcceptsOrStartsAnew) {
  const StartCase& c = GetParam();
  ScriptedEngine& engine = ScriptedEngine::Get();
  if (!c.run_task_ex) engine.missing.insert("P2SPRunTaskEx");
  BindScriptedClient();
  {
    std::lock_guard<std::mutex> hold(engine.mutex);
    engine.tasks["u"].check1 = c.check1;
    engine.tasks["u"].check2 = c.check2;
    if (c.status >= 0) engine.tasks["u"].status = c.status;
  }
  if (c.status < 0) {
    std::lock_guard<std::mutex> hold(engine.mutex);
    engine.tasks["u"].status = 6;
  }
  HashFileDownloader downloader(u"u");
  EXPECT_TRUE(downloader.StartDownload(u"/d/x.apk", 3));
  std::vector<std::string> calls = engine.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "CheckTaskEx u 1 /d/x.apk");
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 1, calls.end()), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartDownloadTest,
    ::testing::Values(
        StartCase{"FirstDownloadIsANewTaskAfterTheFailedFullCheck", -1, 1, 0, true,
                  {"CheckTaskEx u 2 /d/x.apk", "DelTask u", "NewTask u /d/x.apk 589826"}},
        StartCase{"HeldTaskIsResumed", 5, 1, 0, true, {"RunTaskEx u /d/x.apk 3"}},
        StartCase{"ResumeWithoutRunTaskExPassesUrlAndType", 4, 1, 0, false, {"RunTask u 3"}},
        StartCase{"CompleteValidFileIsDone", 6, 1, 1, true, {"CheckTaskEx u 2 /d/x.apk"}},
        StartCase{"NoTaskCheckStartsWithTheGivenType", 6, 0, 0, true, {"DelTask u", "NewTask u /d/x.apk 3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineClientTest, MissingLibraryGivesEveryDefault) {
  P2SPClient::Release();
  P2SPClient* client = P2SPClient::Instance();
  EXPECT_FALSE(client->Load(u"/nonexistent/libswarmload.so"));
  client->SetWorkPath(u"/tmp");
  EXPECT_FALSE(client->Start());
  P2SPInterface& table = client->Interface();
  EXPECT_FALSE(table.P2SPNewTask("u", "p", 3));
  EXPECT_FALSE(table.P2SPRunTask("u", "p", 3));
  EXPECT_FALSE(table.P2SPStopTask("u"));
  EXPECT_FALSE(table.P2SPDelTask("u"));
  EXPECT_EQ(table.P2SPGetTaskStatus("u"), -1);
  EXPECT_EQ(table.P2SPGetTaskFileSize("u"), 0u);
  EXPECT_EQ(table.P2SPGetTaskDownloadedSize("u"), 0u);
  EXPECT_EQ(table.P2SPGetTaskSpeed("u"), 0);
  EXPECT_EQ(table.P2SPGetTaskFileName("u"), u"");
  EXPECT_EQ(table.P2SPCheckTask("u", 1, "p"), 0);
  table.P2SPStop();
  table.P2SPClose();
  PNPDriverPackage package(u"u");
  package.SetFilePath(u"/d/x.apk");
  EXPECT_FALSE(package.StartDownLoad());
}

TEST_F(EngineClientTest, FileNameOfALongNonAsciiPathComesBackWhole) {
  BindScriptedClient();
  std::string path = "/下载/";
  while (path.size() < 1000) path += "很长的应用名称";
  path += ".apk";
  {
    std::lock_guard<std::mutex> hold(ScriptedEngine::Get().mutex);
    ScriptedEngine::Get().tasks["u"].file = path;
  }
  PNPDriverPackage package(u"u");
  EXPECT_EQ(package.GetFileName(), AnsiToWString(path));
  EXPECT_EQ(PNPDriverPackage(u"unknown").GetFileName(), u"");
}

TEST_F(EngineClientTest, ProgressReadsStatusSizesAndSpeed) {
  BindScriptedClient();
  {
    std::lock_guard<std::mutex> hold(ScriptedEngine::Get().mutex);
    ScriptedTask& task = ScriptedEngine::Get().tasks["u"];
    task.status = 4;
    task.total = 5000000000ull;
    task.downloaded = 4294967296ull;
    task.speed = 1234;
  }
  PNPDriverPackage package(u"u");
  int32_t status = 0, speed = 0;
  uint64_t downloaded = 0, total = 0;
  package.GetProgress(&status, &downloaded, &total, &speed);
  EXPECT_EQ(status, 4);
  EXPECT_EQ(downloaded, 4294967296ull);
  EXPECT_EQ(total, 5000000000ull);
  EXPECT_EQ(speed, 1234);
}

}  // namespace
