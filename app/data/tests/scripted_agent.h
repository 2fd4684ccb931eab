// A stand-in agent on loopback for the data manager tests: answers each
// command as the test set it (default: result 1, no payload) and keeps the
// requests it received, per command, in order.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/agent/socket_thread.h"
#include "app/agent/tests/fake_agent.h"

namespace data_test {

using testing_support::AgentAnswer;

class ScriptedAgent {
 public:
  ScriptedAgent()
      : agent_([this](const std::string& command, const std::string& request) {
          std::lock_guard<std::mutex> hold(lock_);
          requests_[command].push_back(request);
          auto it = answers_.find(command);
          return it != answers_.end() ? it->second
                                      : AgentAnswer{AgentAnswer::kReply, testing_support::SuccessReply()};
        }) {
    CSocketThreadMgr::Instance()->SetHost("127.0.0.1", agent_.port());
  }
  ~ScriptedAgent() {
    CSocketThreadMgr::Instance()->StopAll();
    CSocketThreadMgr::Instance()->SetHost("", 0);
  }
  void Set(const std::string& command, AgentAnswer answer) {
    std::lock_guard<std::mutex> hold(lock_);
    answers_[command] = std::move(answer);
  }
  void Reply(const std::string& command, const std::string& payload) {
    Set(command, {AgentAnswer::kReply, testing_support::SuccessReply(payload)});
  }
  int Count(const std::string& command) { return agent_.Count(command); }
  // The requests of one command received so far, in order.
  std::vector<std::string> Requests(const std::string& command) {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_[command];
  }

 private:
  std::mutex lock_;  // guards the answers and the requests (agent threads, test thread)
  std::map<std::string, AgentAnswer> answers_;
  std::map<std::string, std::vector<std::string>> requests_;
  testing_support::FakeAgent agent_;
};

}  // namespace data_test
