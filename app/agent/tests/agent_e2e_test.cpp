// The agent transport against the simulated phone's agent through adb
// forwards: one command of each family, every agent fault mode, and the
// retry that re-creates a lost forward with the real adb.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/closed_port.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/agent/socket_thread.h"
#include "app/agent/tests/fake_target.h"
#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"

namespace {

using testing_support::FakeTarget;
using testing_support::PhoneSim;

struct Param {
  const char16_t* element;
  const char16_t* attribute;
  const char16_t* value;
};

CCmdPackage* Package(const std::u16string& command, CBaseResponse* target, const std::u16string& method = u"GET",
                     std::initializer_list<Param> params = {}) {
  CXmlDocument document;
  BuildRequestXml(document, command, method);
  for (const Param& p : params) {
    document.AddChildElement(p.element);
    document.SetChildAttribute(p.attribute, p.value);
  }
  auto* package = new CCmdPackage(command);
  package->SetRequest(document.GetDocument());
  package->SetTarget(target);
  return package;
}

class AgentE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("PHONEDECK_ADB");
    sim_ = new PhoneSim();
    ASSERT_TRUE(sim_->Start({"--forward"})) << sim_->Failure();
    CConfigMgr::Instance()->SetMainWnd(0x99);
    serial_ = AnsiToWString(sim_->Field("serial"));
    CAdbCmdTool::Instance()->SetSerial(serial_.c_str());
  }
  static void TearDownTestSuite() {
    CSocketThreadMgr::Instance()->StopAll();
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    CSocketThreadMgr::Instance()->SetHost("127.0.0.1", sim_->Port("agent_port"));
    sim_->Control("clear");
    sim_->Control("clear-errors");
    message_sink::Take();
  }
  void TearDown() override { EXPECT_EQ(sim_->Errors(), "[]"); }

  static PhoneSim* sim_;
  static std::u16string serial_;
};
PhoneSim* AgentE2eTest::sim_ = nullptr;
std::u16string AgentE2eTest::serial_;

TEST_F(AgentE2eTest, OneCommandOfEachFamily) {
  CXmlDocument connect;
  BuildRequestXml(connect, u"connect", u"GET");
  EXPECT_EQ(ExchangeAndCheck(connect.GetDocument()), 0);

  FakeTarget target;
  const char16_t* lists[] = {u"package_list", u"package_count", u"contact_list", u"contact_count",
                             u"environment",  u"sms_list",      u"sms_count",    u"music_list",
                             u"music_count",  u"video_list",    u"video_count",  u"image_list",
                             u"image_count"};
  for (const char16_t* command : lists) SendGetCommand(&target, command);
  ASSERT_TRUE(target.WaitFor(std::size(lists)));
  ExecuteRequest(Package(u"contact_info", &target, u"GET", {{u"contact", u"id", u"1"}}));
  ExecuteRequest(Package(u"music_info", &target, u"GET", {{u"m", u"id", u"3"}}));
  ExecuteRequest(Package(u"package_info", &target, u"GET", {{u"packageName", u"value", u"com.zelvik.demo.notes"}}));
  ExecuteRequest(Package(u"package_icon", &target, u"GET", {{u"packageName", u"value", u"com.zelvik.demo.notes"}}));
  const auto replies = target.Replies();
  ASSERT_EQ(replies.size(), std::size(lists) + 4);
  for (const auto& reply : replies) {
    EXPECT_EQ(reply.status, 0) << WStringToAnsi(reply.command);
    EXPECT_TRUE(reply.checked) << WStringToAnsi(reply.command) << ": " << reply.bytes.substr(0, 200);
  }
  EXPECT_NE(replies[std::size(lists)].bytes.find("张三"), std::string::npos);
  const std::string& icon = replies.back().bytes;
  const size_t nul = icon.find('\0');
  ASSERT_NE(nul, std::string::npos);
  EXPECT_EQ(icon.substr(nul + 1, 4), "\x89PNG");
  EXPECT_TRUE(target.AllTerminated());
  EXPECT_TRUE(message_sink::Take().empty());
}

TEST_F(AgentE2eTest, EveryAgentFaultMode) {
  struct Case {
    const char* fault;
    bool checked;
  };
  const Case cases[] = {{"refuse", false}, {"close", false},  {"result0", false},  {"wrongroot", false},
                        {"slow=300", true}, {"split=5", true}, {"exact512", true}};
  for (const Case& c : cases) {
    ASSERT_EQ(sim_->Control(std::string("fault ") + c.fault + (std::string(c.fault) == "refuse" ? "" : "@package_count"))
                  .rfind("OK", 0),
              0u)
        << c.fault;
    FakeTarget target;
    ExecuteRequest(Package(u"package_count", &target));
    sim_->Control("clear");
    ASSERT_EQ(target.Replies().size(), 1u);
    const auto reply = target.Replies()[0];
    EXPECT_EQ(reply.status, 0) << c.fault;  // the forward always accepts: the agent was reached
    EXPECT_EQ(reply.checked, c.checked) << c.fault << ": " << reply.bytes;
    if (std::string(c.fault) == "exact512") {
      EXPECT_EQ(reply.bytes.size(), 512u);
    }
    EXPECT_TRUE(target.AllTerminated()) << c.fault;
  }
  EXPECT_TRUE(message_sink::Take().empty());
  sim_->Control("clear-errors");  // "refuse" is logged by the phone as refused
}

TEST_F(AgentE2eTest, RetryRecreatesALostForward) {
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", 0);  // the configured agent port
  // No forward for that port yet: the first exchange is refused, the retry
  // forwards the ports and the command goes through. The forwards bind ports
  // the test released: tried again with fresh ones when another process took
  // one in between.
  int agent_port = 0;
  auto target = std::make_unique<FakeTarget>();
  for (int attempt = 0; attempt < testing_support::kPortAttempts; ++attempt) {
    agent_port = testing_support::NameForwardPorts();
    target = std::make_unique<FakeTarget>();
    message_sink::Take();
    ExecuteRequest(Package(u"sms_count", target.get()));
    std::u16string list;
    CAdbCmdTool::Instance()->RunAdbCmd(serial_.c_str(), {u"forward", u"--list"}, list);
    if (list.find(AnsiToWString("tcp:" + std::to_string(agent_port) + " tcp:21220")) != std::u16string::npos) break;
  }
  ASSERT_EQ(target->Replies().size(), 1u);
  EXPECT_EQ(target->Replies()[0].status, 0);
  EXPECT_TRUE(target->Replies()[0].checked);
  EXPECT_TRUE(message_sink::Take().empty());

  // Forward gone and phone unreachable for good: the target hears of it and
  // the main window gets 1226.
  std::u16string out;
  CAdbCmdTool::Instance()->RunAdbCmd(
      serial_.c_str(), {u"forward", u"--remove", AnsiToWString("tcp:" + std::to_string(agent_port))}, out);
  setenv("PHONEDECK_ADB", "/nonexistent/adb", 1);
  ExecuteRequest(Package(u"sms_list", target.get()));
  ASSERT_EQ(target->Replies().size(), 2u);
  EXPECT_LT(target->Replies()[1].status, 0);
  const auto posts = message_sink::Take();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].message, msg::kAgentLinkFailed);
  EXPECT_EQ(posts[0].wnd, 0x99u);
  unsetenv("PHONEDECK_ADB");
  testing_support::ForgetForwardPorts();
}

}  // namespace
