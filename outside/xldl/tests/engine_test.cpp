// The engine against the loopback download server.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "download_server.h"
#include "engine_test_support.h"
#include "foundation/base/unicode.h"
#include "xldl.h"

namespace {

using xldl_test::CopyText;
using xldl_test::Exists;
using xldl_test::ReadAll;
using testing_server::DownloadServer;
using testing_server::Pattern;
using testing_server::Resource;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/xldl_test_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ASSERT_GT(server_.port(), 0);
    ASSERT_EQ(XL_Init(), 1);
  }
  void TearDown() override {
    XL_UnInit();
    std::filesystem::remove_all(folder_);
  }

  XlTaskHandle Create(const std::string& path, const std::string& name) {
    param_ = std::make_unique<XlTaskParam>();
    std::memset(param_.get(), 0, sizeof(XlTaskParam));
    CopyText(param_->url, server_.Url(path));
    CopyText(param_->save_folder, folder_);
    CopyText(param_->file_name, name);
    return XL_CreateTask(param_.get());
  }

  // Creates and starts a task; its handle.
  XlTaskHandle Launch(const std::string& path, const std::string& name) {
    const XlTaskHandle task = Create(path, name);
    EXPECT_NE(task, 0u);
    EXPECT_EQ(XL_StartTask(task), 1);
    return task;
  }

  XlTaskInfo Query(XlTaskHandle task) {
    XlTaskInfo info;
    std::memset(&info, 0, sizeof info);
    info.state = 2;
    XL_QueryTaskInfo(task, &info);
    return info;
  }

  // Waits (bounded) until the task leaves the running state.
  XlTaskInfo WaitEnd(XlTaskHandle task) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    XlTaskInfo info = Query(task);
    while (info.state == kXlStateRunning && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      info = Query(task);
    }
    return info;
  }

  // Waits (bounded) until at least `bytes` are on disk.
  void WaitBytes(XlTaskHandle task, uint64_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Query(task).downloaded_size < bytes && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(Query(task).downloaded_size, bytes);
  }

  static std::string NameOf(const XlTaskInfo& info) {
    char16_t name[260];
    std::memcpy(name, reinterpret_cast<const char*>(&info) + offsetof(XlTaskInfo, file_name), sizeof name);
    size_t n = 0;
    while (n < 259 && name[n] != 0) ++n;
    return unicode::Utf16ToUtf8(name, n);
  }

  DownloadServer server_;
  std::string folder_;
  std::unique_ptr<XlTaskParam> param_;
};

TEST_F(EngineTest, DownloadsWholeFileAndRemembersItsSize) {
  Resource r;
  r.generated_size = 300000;
  server_.Put("/f.bin", r);
  const XlTaskHandle task = Create("/f.bin", "f.bin");
  ASSERT_NE(task, 0u);
  EXPECT_EQ(Query(task).state, kXlStateIdle);
  ASSERT_EQ(XL_StartTask(task), 1);
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, kXlStateFinished);
  EXPECT_EQ(info.total_size, 300000u);
  EXPECT_EQ(info.downloaded_size, 300000u);
  EXPECT_EQ(NameOf(info), "f.bin");
  EXPECT_EQ(ReadAll(folder_ + "/f.bin"), Pattern(0, 300000));
  EXPECT_FALSE(Exists(folder_ + "/f.bin.td"));
  EXPECT_FALSE(Exists(folder_ + "/f.bin.td.cfg"));
  EXPECT_EQ(XL_StartTask(task), 0);  // finished tasks do not run again
  EXPECT_EQ(XL_DeleteTask(task), 1);
  EXPECT_EQ(XL_DeleteTask(task), 0);
  int64_t size = 0;
  const std::u16string url = unicode::Utf8ToUtf16(server_.Url("/f.bin").c_str(), server_.Url("/f.bin").size());
  EXPECT_EQ(XL_GetFileSizeWithUrl(url.c_str(), &size), 1);
  EXPECT_EQ(size, 300000);
}

TEST_F(EngineTest, ResumesAfterACutWithoutFetchingTheFirstPartAgain) {
  Resource r = testing_server::Generated(1000000, 400000, 1);
  server_.Put("/cut.bin", r);
  const XlTaskHandle task = Launch("/cut.bin", "cut.bin");
  EXPECT_EQ(WaitEnd(task).state, kXlStateFinished);
  EXPECT_EQ(ReadAll(folder_ + "/cut.bin"), Pattern(0, 1000000));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[0].bytes_sent, 400000u);
  EXPECT_EQ(requests[1].range, "bytes=400000-");
  EXPECT_EQ(requests[1].if_range, "\"v1\"");
  EXPECT_EQ(requests[1].status, 206);
  EXPECT_EQ(requests[1].bytes_sent, 600000u);
}

TEST_F(EngineTest, RestartsFromZeroWhenTheServerAnswersWhole) {
  Resource r = testing_server::Generated(500000, 100000, 1);
  r.ignore_range = true;
  server_.Put("/whole.bin", r);
  const XlTaskHandle task = Launch("/whole.bin", "whole.bin");
  EXPECT_EQ(WaitEnd(task).state, kXlStateFinished);
  EXPECT_EQ(ReadAll(folder_ + "/whole.bin"), Pattern(0, 500000));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "bytes=100000-");
  EXPECT_EQ(requests[1].status, 200);
}

TEST_F(EngineTest, HttpErrorsFailWithTheirCodes) {
  const struct {
    int status;
    int fail_code;
  } cases[] = {{404, kXlFailHttp}, {403, kXlFailHttp}, {500, kXlFailServer}};
  for (const auto& c : cases) {
    Resource r;
    r.status = c.status;
    const std::string path = "/e" + std::to_string(c.status);
    server_.Put(path, r);
    const size_t before = server_.Requests().size();
    const XlTaskHandle task = Launch(path, "e.bin");
    const XlTaskInfo info = WaitEnd(task);
    EXPECT_EQ(info.state, kXlStateFailed) << c.status;
    EXPECT_EQ(info.fail_code, c.fail_code) << c.status;
    EXPECT_EQ(server_.Requests().size(), before + 1) << "no retry of " << c.status;
    EXPECT_FALSE(Exists(folder_ + "/e.bin"));
  }
}

TEST_F(EngineTest, UnwritableTargetFailsWithoutRetry) {
  Resource r;
  r.body = "body";
  server_.Put("/nowhere.bin", r);
  param_ = std::make_unique<XlTaskParam>();
  std::memset(param_.get(), 0, sizeof(XlTaskParam));
  CopyText(param_->url, server_.Url("/nowhere.bin"));
  CopyText(param_->save_folder, folder_ + "/missing/folder");
  const XlTaskHandle task = XL_CreateTask(param_.get());
  ASSERT_EQ(XL_StartTask(task), 1);
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, kXlStateFailed);
  EXPECT_EQ(info.fail_code, kXlFailFile);
  EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(EngineTest, NetworkFailureAfterTheEnginesOwnTries) {
  Resource r = testing_server::Generated(100000, 1000, 3);
  server_.Put("/always_cut.bin", r);
  const XlTaskHandle task = Launch("/always_cut.bin", "c.bin");
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, kXlStateFailed);
  EXPECT_EQ(info.fail_code, kXlFailCut);
  EXPECT_TRUE(Exists(folder_ + "/c.bin.td"));  // kept for a later resume
}

TEST_F(EngineTest, FollowsRedirectsAndNamesFileFromTheServer) {
  Resource target;
  target.body = "redirected body";
  target.content_disposition = "attachment; filename=\"../served name.apk\"";
  server_.Put("/target", target);
  Resource hop;
  hop.redirect_to = "/target";
  server_.Put("/hop", hop);
  const XlTaskHandle task = Launch("/hop", "");
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, kXlStateFinished);
  EXPECT_EQ(NameOf(info), "served name.apk");
  EXPECT_EQ(ReadAll(folder_ + "/served name.apk"), "redirected body");
}

TEST_F(EngineTest, NameFromUrlWhenTheServerGivesNone) {
  Resource r;
  r.body = "x";
  server_.Put("/dir/from%20url.txt", r);
  server_.Put("/dir/from url.txt", r);
  const XlTaskHandle task = Launch("/dir/from%20url.txt?v=2", "");
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, kXlStateFinished);
  EXPECT_EQ(NameOf(info), "from url.txt");
}

TEST_F(EngineTest, StopThenDeleteKeepsThePartForTheNextTask) {
  Resource r;
  r.generated_size = 400000;
  r.bytes_per_second = 400000;
  server_.Put("/slow.bin", r);
  const XlTaskHandle task = Launch("/slow.bin", "slow.bin");
  ASSERT_NO_FATAL_FAILURE(WaitBytes(task, 50000));
  EXPECT_GT(Query(task).speed, 0u);
  EXPECT_EQ(XL_StopTask(task), 1);
  const XlTaskInfo stopped = Query(task);
  EXPECT_EQ(stopped.state, kXlStateStopped);
  EXPECT_EQ(stopped.speed, 0u);
  EXPECT_EQ(XL_DeleteTask(task), 1);
  const uint64_t kept = std::filesystem::file_size(folder_ + "/slow.bin.td");
  EXPECT_GE(kept, 50000u);
  EXPECT_TRUE(Exists(folder_ + "/slow.bin.td.cfg"));

  r.bytes_per_second = 0;
  server_.Put("/slow.bin", r);
  const XlTaskHandle again = Launch("/slow.bin", "slow.bin");
  const XlTaskInfo info = WaitEnd(again);
  EXPECT_EQ(info.state, kXlStateFinished);
  EXPECT_EQ(info.downloaded_size, 400000u);
  EXPECT_EQ(ReadAll(folder_ + "/slow.bin"), Pattern(0, 400000));
  EXPECT_EQ(server_.Requests().back().range, "bytes=" + std::to_string(kept) + "-");
}

TEST_F(EngineTest, DelTempFileRemovesThePart) {
  Resource r = testing_server::Generated(100000, 1000, 3);
  server_.Put("/part.bin", r);
  const XlTaskHandle task = Launch("/part.bin", "");
  EXPECT_EQ(WaitEnd(task).state, kXlStateFailed);
  ASSERT_TRUE(Exists(folder_ + "/part.bin.td"));
  XL_DeleteTask(task);
  EXPECT_EQ(XL_DelTempFile(param_.get()), 1);  // found through the resume record's URL
  EXPECT_FALSE(Exists(folder_ + "/part.bin.td"));
  EXPECT_FALSE(Exists(folder_ + "/part.bin.td.cfg"));
}

TEST_F(EngineTest, UserAgentAndDirectProxyApply) {
  Resource r;
  r.body = "ua";
  server_.Put("/ua", r);
  const std::u16string agent = u"Mozilla/5.0 test";
  ASSERT_EQ(XL_SetUserAgent(agent.c_str()), 1);
  auto proxy = std::make_unique<XlProxyRecord>();
  std::memset(proxy.get(), 0, sizeof(XlProxyRecord));
  proxy->direct = 1;
  ASSERT_EQ(XL_SetProxy(proxy.get()), 1);
  const XlTaskHandle task = Launch("/ua", "ua.txt");
  EXPECT_EQ(WaitEnd(task).state, kXlStateFinished);
  EXPECT_EQ(server_.Requests().back().user_agent, "Mozilla/5.0 test");
  XL_SetUserAgent(u"");
}

TEST_F(EngineTest, RefusesBlocksWithoutUrlOrFolderOrWithABadName) {
  auto param = std::make_unique<XlTaskParam>();
  std::memset(param.get(), 0, sizeof(XlTaskParam));
  EXPECT_EQ(XL_CreateTask(param.get()), 0u);
  CopyText(param->url, server_.Url("/x"));
  EXPECT_EQ(XL_CreateTask(param.get()), 0u);
  CopyText(param->save_folder, folder_);
  CopyText(param->file_name, "..");
  EXPECT_EQ(XL_CreateTask(param.get()), 0u);
  EXPECT_EQ(XL_CreateTask(nullptr), 0u);
}

}  // namespace
