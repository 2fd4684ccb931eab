// The agent transport against a stand-in agent on loopback.
#include "app/agent/socket_thread.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/closed_port.h"
#include "app/adb/tests/temp_folder.h"
#include "app/agent/tests/fake_agent.h"
#include "app/agent/tests/fake_target.h"
#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

using testing_support::AgentAnswer;
using testing_support::FakeAgent;
using testing_support::FakeTarget;
using testing_support::SuccessReply;

constexpr uintptr_t kMainWnd = 0x77;

class SocketThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("PHONEDECK_ADB", "/nonexistent/adb", 1);  // the retry's re-forward fails at once
    CAdbCmdTool::Instance();
    CConfigMgr::Instance()->SetMainWnd(kMainWnd);
    message_sink::Take();
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopAll();
    CSocketThreadMgr::Instance()->SetHost("", 0);
    unsetenv("PHONEDECK_ADB");
  }
  void PointAt(int port) { CSocketThreadMgr::Instance()->SetHost("127.0.0.1", port); }

  static CCmdPackage* Package(const std::u16string& command, CBaseResponse* target,
                              const std::u16string& value = u"") {
    CXmlDocument document;
    BuildRequestXml(document, command, u"GET");
    if (!value.empty()) {
      document.AddChildElement(u"packageName");
      document.SetChildAttribute(u"value", value);
    }
    auto* package = new CCmdPackage(command);
    package->SetRequest(document.GetDocument());
    package->SetTarget(target);
    return package;
  }
  static int LinkFailedPosts() {
    int count = 0;
    for (const PostedMessage& m : message_sink::Take()) {
      if (m.message == msg::kAgentLinkFailed && m.wnd == kMainWnd && m.wParam == 0 && m.lParam == 0) ++count;
    }
    return count;
  }
};

TEST_F(SocketThreadTest, LargeReplyArrivesWhole) {
  const std::string payload(100000, 'a');
  FakeAgent agent([&](const std::string&, const std::string&) {
    return AgentAnswer{AgentAnswer::kReply, SuccessReply("<x>" + payload + "</x>")};
  });
  PointAt(agent.port());
  FakeTarget target;
  ExecuteRequest(Package(u"package_list", &target), nullptr);
  ASSERT_EQ(target.Replies().size(), 1u);
  const auto reply = target.Replies()[0];
  EXPECT_EQ(reply.command, u"package_list");
  EXPECT_EQ(reply.status, 0);
  EXPECT_TRUE(reply.checked);
  EXPECT_EQ(reply.bytes, SuccessReply("<x>" + payload + "</x>"));
  EXPECT_EQ(LinkFailedPosts(), 0);
}

TEST_F(SocketThreadTest, LargeRequestArrivesWhole) {
  FakeAgent agent([](const std::string&, const std::string&) { return AgentAnswer{AgentAnswer::kReply, SuccessReply()}; });
  PointAt(agent.port());
  FakeTarget target;
  const std::u16string value(3000000, u'v');
  ExecuteRequest(Package(u"package_info", &target, value), nullptr);
  ASSERT_EQ(target.Replies().size(), 1u);
  EXPECT_TRUE(target.Replies()[0].checked);
  EXPECT_NE(agent.LastRequest().find(std::string(3000000, 'v') + "\""), std::string::npos);
  EXPECT_NE(agent.LastRequest().find("</request>"), std::string::npos);
}

TEST_F(SocketThreadTest, RepliesOfExactlyTheBufferSizeStayTerminated) {
  for (size_t size : {511u, 512u, 4096u, 4608u}) {
    std::string reply = SuccessReply();
    reply.append(size - reply.size(), ' ');
    FakeAgent agent([&](const std::string&, const std::string&) { return AgentAnswer{AgentAnswer::kReply, reply}; });
    PointAt(agent.port());
    FakeTarget target;
    ExecuteRequest(Package(u"sms_count", &target), nullptr);
    ASSERT_EQ(target.Replies().size(), 1u);
    EXPECT_TRUE(target.Replies()[0].checked) << size;
    EXPECT_EQ(target.Replies()[0].bytes.size(), size);
    EXPECT_TRUE(target.AllTerminated()) << size;
  }
}

TEST_F(SocketThreadTest, CloseWithoutDataIsAnEmptyReplyThatFailsTheCheck) {
  FakeAgent agent([](const std::string&, const std::string&) { return AgentAnswer{AgentAnswer::kClose, ""}; });
  PointAt(agent.port());
  FakeTarget target;
  ExecuteRequest(Package(u"contact_list", &target), nullptr);
  ASSERT_EQ(target.Replies().size(), 1u);
  EXPECT_EQ(target.Replies()[0].status, 0);
  EXPECT_TRUE(target.Replies()[0].bytes.empty());
  EXPECT_FALSE(target.Replies()[0].checked);
  EXPECT_EQ(agent.Count("connect"), 0);  // no retry: the agent did answer
  EXPECT_EQ(LinkFailedPosts(), 0);
}

TEST_F(SocketThreadTest, UnreachableAgentRetriesOnceThenTellsTargetAndWindow) {
  const testing_support::ClosedPort nobody;
  PointAt(nobody.port());
  FakeTarget target;
  ExecuteRequest(Package(u"music_list", &target), nullptr);
  ASSERT_EQ(target.Replies().size(), 1u);
  EXPECT_LT(target.Replies()[0].status, 0);
  EXPECT_FALSE(target.Replies()[0].checked);
  EXPECT_EQ(LinkFailedPosts(), 1);
  EXPECT_FALSE(IsAgentRetryRunning());
}

TEST_F(SocketThreadTest, RetryBringsTheLinkBack) {
  std::atomic<int> calls{0};
  FakeAgent agent([&](const std::string& command, const std::string&) {
    if (command == "video_list" && calls++ == 0) return AgentAnswer{AgentAnswer::kReset, ""};
    return AgentAnswer{AgentAnswer::kReply, SuccessReply("<count>2</count>")};
  });
  PointAt(agent.port());
  FakeTarget target;
  ExecuteRequest(Package(u"video_list", &target), nullptr);
  ASSERT_EQ(target.Replies().size(), 1u);
  EXPECT_EQ(target.Replies()[0].status, 0);
  EXPECT_TRUE(target.Replies()[0].checked);
  EXPECT_EQ(agent.Count("connect"), 1);
  EXPECT_EQ(agent.Count("video_list"), 2);
  EXPECT_EQ(LinkFailedPosts(), 0);
}

TEST_F(SocketThreadTest, TwoFailingCommandsRetryOnlyOnce) {
  FakeAgent agent([](const std::string& command, const std::string&) {
    if (command == "connect") {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      return AgentAnswer{AgentAnswer::kReply, SuccessReply()};
    }
    return AgentAnswer{AgentAnswer::kReset, ""};
  });
  PointAt(agent.port());
  FakeTarget target;
  CSocketThreadMgr::Instance()->RunAsync(Package(u"image_list", &target));
  CSocketThreadMgr::Instance()->RunAsync(Package(u"image_count", &target));
  ASSERT_TRUE(target.WaitFor(2));
  EXPECT_EQ(agent.Count("connect"), 1);
  EXPECT_EQ(agent.Count("image_list"), 2);
  EXPECT_EQ(agent.Count("image_count"), 2);
  for (const auto& reply : target.Replies()) EXPECT_LT(reply.status, 0);
  // Each thread posts its link failure just after its target heard the reply.
  int posts = LinkFailedPosts();
  for (int i = 0; i < 500 && posts < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    posts += LinkFailedPosts();
  }
  EXPECT_EQ(posts, 2);
}

TEST_F(SocketThreadTest, StopAllCutsHangingCommandsShort) {
  FakeAgent agent([](const std::string&, const std::string&) { return AgentAnswer{AgentAnswer::kHang, ""}; });
  PointAt(agent.port());
  FakeTarget target;
  for (const char16_t* command : {u"sms_list", u"contact_list", u"package_list"}) {
    CSocketThreadMgr::Instance()->RunAsync(Package(command, &target));
  }
  for (int i = 0; i < 200 && agent.Count("sms_list") + agent.Count("contact_list") + agent.Count("package_list") < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(CSocketThreadMgr::Instance()->ThreadCount(), 3u);
  const auto start = std::chrono::steady_clock::now();
  CSocketThreadMgr::Instance()->StopAll();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(CSocketThreadMgr::Instance()->ThreadCount(), 0u);
  ASSERT_EQ(target.Replies().size(), 3u);  // every target heard of its failure
  for (const auto& reply : target.Replies()) EXPECT_LT(reply.status, 0);
  EXPECT_EQ(LinkFailedPosts(), 0);        // a stop is no link failure
  EXPECT_EQ(agent.Count("connect"), 0);   // and starts no retry
}

TEST_F(SocketThreadTest, FinishedThreadsArePurgedAndTextTravelsAsUtf8) {
  FakeAgent agent([](const std::string&, const std::string&) { return AgentAnswer{AgentAnswer::kReply, SuccessReply()}; });
  PointAt(agent.port());
  FakeTarget target;
  CSocketThreadMgr::Instance()->RunAsync(Package(u"package_info", &target, u"张三 & <b>"));
  ASSERT_TRUE(target.WaitFor(1));
  EXPECT_NE(agent.LastRequest().find("\xE5\xBC\xA0\xE4\xB8\x89 &amp; &lt;b&gt;"), std::string::npos)
      << agent.LastRequest();
  // The finished thread is deleted by the next RunAsync.
  for (int i = 0; i < 200 && IsAgentRetryRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  CSocketThreadMgr::Instance()->RunAsync(Package(u"package_count", &target));
  ASSERT_TRUE(target.WaitFor(2));
  EXPECT_LE(CSocketThreadMgr::Instance()->ThreadCount(), 2u);
}

TEST_F(SocketThreadTest, ProbeAndLogTexts) {
  testing_support::TempFolder dir;
  mkdir(dir.File("log").c_str(), 0755);
  setenv("PHONEDECK_PROGRAM_DIR", dir.path().c_str(), 1);
  base::BaseLog* log = base::BaseLog::GetInstance();
  ASSERT_TRUE(log->Open("log/agent.log"));
  {
    FakeAgent agent([](const std::string& command, const std::string&) {
      return AgentAnswer{AgentAnswer::kReply, command == "connect" ? SuccessReply() : "<response result=\"0\"/>"};
    });
    PointAt(agent.port());
    CXmlDocument connect;
    BuildRequestXml(connect, u"connect", u"GET");
    EXPECT_EQ(ExchangeAndCheck(connect.GetDocument()), 0);
    CXmlDocument list;
    BuildRequestXml(list, u"sms_list", u"GET");
    EXPECT_EQ(ExchangeAndCheck(list.GetDocument()), -1);
  }
  const testing_support::ClosedPort nobody;
  PointAt(nobody.port());
  FakeTarget target;
  ExecuteRequest(Package(u"music_count", &target), nullptr);
  log->Close();
  unsetenv("PHONEDECK_PROGRAM_DIR");
  const std::string text = dir.Read("log/agent.log");
  for (const char* line : {"connect succs!", "Send data", "Recv data", "Connection closed", "closesocket!",
                           "get package success!", "xml response result = 0", "connect failed: 111",
                           "retry socket!", "retry socket result=0!", "socket sever communication failed!"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_NE(text.find("(socket_thread:"), std::string::npos);
  EXPECT_NE(text.find("(cmd_package:"), std::string::npos);
}

}  // namespace
