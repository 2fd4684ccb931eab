// Agent replies as a broken or hostile agent sends them: one table, each
// row one command run through the real transport and reply check against a
// stand-in agent. The transport's limits are made small here (1 MiB, 1.5 s)
// so that the rows past them stay quick; no row may crash, hang or pass for
// a good reply.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "app/adb/adbcmd_tool.h"
#include "app/agent/socket_thread.h"
#include "app/agent/tests/fake_agent.h"
#include "app/agent/tests/fake_target.h"
#include "app/config/config_mgr.h"
#include "foundation/base/tests/case_name.h"
#include "foundation/xml/xml_document.h"

namespace {

using testing_support::AgentAnswer;
using testing_support::FakeAgent;
using testing_support::FakeTarget;
using testing_support::SuccessReply;

constexpr size_t kLimit = 1 << 20;
constexpr int kDeadlineMs = 1500;

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// A good reply padded with blanks to exactly `size` bytes.
std::string ReplyOfSize(size_t size) {
  std::string reply = SuccessReply("<x>1</x>");
  reply.append(size - reply.size(), ' ');
  return reply;
}

struct HostileReply {
  const char* label;
  AgentAnswer answer;
  bool exchanged;  // the transport hands a reply on (status 0)
  bool checked;    // the reply check passes
};

const HostileReply kReplies[] = {
    {"a reply of exactly the limit", {AgentAnswer::kReply, ReplyOfSize(kLimit)}, true, true},
    {"a reply one byte over the limit", {AgentAnswer::kReply, ReplyOfSize(kLimit + 1)}, false, false},
    {"a reply going on for 64 MiB", {AgentAnswer::kEndless, Repeat("<a/>", 4096)}, false, false},
    {"a reply that trickles past the deadline", {AgentAnswer::kTrickle, SuccessReply(Repeat(" ", 400)), 25}, false,
     false},
    {"a reset in the middle", {AgentAnswer::kReset, ""}, false, false},
    {"a close without data", {AgentAnswer::kClose, ""}, true, false},
    {"no XML at all", {AgentAnswer::kReply, "HTTP/1.1 200 OK\r\n\r\n"}, true, false},
    {"cut inside an element", {AgentAnswer::kReply, SuccessReply("<p id=\"1\"/>").substr(0, 60)}, true, false},
    {"a NUL byte before the end", {AgentAnswer::kReply, std::string("<response result=\"1\">\0</response>", 34)}, true,
     false},
    {"another root", {AgentAnswer::kReply, "<reply result=\"1\"/>"}, true, false},
    {"result 0", {AgentAnswer::kReply, "<response result=\"0\"/>"}, true, false},
    {"result missing", {AgentAnswer::kReply, "<response/>"}, true, false},
    {"elements nested 100000 deep", {AgentAnswer::kReply, SuccessReply(Repeat("<a>", 100000) + Repeat("</a>", 100000))},
     true, true},
    {"an unclosed nest 100000 deep", {AgentAnswer::kReply, SuccessReply(Repeat("<a>", 100000))}, true, false},
    {"entities defined in a document type",
     {AgentAnswer::kReply, "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                           "<response result=\"1\"><x>&b;&b;&b;&b;&b;&b;&b;&b;</x></response>"},
     true, true},
    {"bytes that are no UTF-8", {AgentAnswer::kReply, SuccessReply("<x n=\"\xff\xfe\x80\"/>")}, true, true},
    {"an attribute of 512 KiB", {AgentAnswer::kReply, SuccessReply("<x n=\"" + std::string(512 * 1024, 'n') + "\"/>")},
     true, true},
};

class AgentHostileReply : public ::testing::TestWithParam<HostileReply> {
 protected:
  void SetUp() override {
    setenv("PHONEDECK_ADB", "/nonexistent/adb", 1);  // the retry's re-forward fails at once
    CAdbCmdTool::Instance();
    CConfigMgr::Instance()->SetMainWnd(0x77);
    ExchangeLimits limits;
    limits.max_reply_bytes = kLimit;
    limits.deadline_ms = kDeadlineMs;
    CSocketThreadMgr::Instance()->SetLimits(limits);
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopAll();
    CSocketThreadMgr::Instance()->SetLimits(ExchangeLimits());
    CSocketThreadMgr::Instance()->SetHost("", 0);
    unsetenv("PHONEDECK_ADB");
  }
};

TEST_P(AgentHostileReply, FailsCleanlyOrPassesWhole) {
  const HostileReply& row = GetParam();
  // The link probe of the retry is answered; the command gets the row.
  FakeAgent agent([&](const std::string& command, const std::string&) {
    return command == "connect" ? AgentAnswer{AgentAnswer::kReply, SuccessReply()} : row.answer;
  });
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", agent.port());
  CXmlDocument request;
  BuildRequestXml(request, u"sms_list", u"GET");
  auto* package = new CCmdPackage(u"sms_list");
  package->SetRequest(request.GetDocument());
  FakeTarget target;
  package->SetTarget(&target);
  ExecuteRequest(package, nullptr);
  ASSERT_EQ(target.Replies().size(), 1u);
  const auto reply = target.Replies()[0];
  EXPECT_EQ(reply.status == 0, row.exchanged) << reply.status;
  EXPECT_EQ(reply.checked, row.checked);
  if (!row.exchanged) {
    EXPECT_TRUE(reply.bytes.empty());  // nothing of a failed exchange is handed on
  } else if (row.answer.mode == AgentAnswer::kReply) {
    EXPECT_EQ(reply.bytes, row.answer.reply);
  }
  // Nothing in a reply makes its document grow past the reply (entities
  // of a document type are never expanded).
  EXPECT_LE(reply.document.size(), reply.bytes.size());
  EXPECT_TRUE(target.AllTerminated());
}

INSTANTIATE_TEST_SUITE_P(Agent, AgentHostileReply, ::testing::ValuesIn(kReplies),
                         testing_support::NamedBy(&HostileReply::label));

}  // namespace
