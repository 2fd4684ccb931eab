// Shared by the connection manager's tests: a temporary program folder
// (with the posting library when asked), the statistics host on a loopback
// server, and the connection states read back from the message sink.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/adb/tests/temp_folder.h"
#include "app/bindings/lettermill_interface.h"
#include "app/config/config_mgr.h"
#include "app/connect/connect_state.h"
#include "app/core/message_ids.h"
#include "app/core/message_payloads.h"
#include "app/core/phone_message.h"
#include "app/web/stat_report.h"
#include "app/web/tests/loopback_server.h"

namespace connect_test {

constexpr uintptr_t kMainWnd = 0x5150;

// The posts seen so far, taken from the sink (payloads of 1225 are freed).
class PostLog {
 public:
  void Drain() {
    for (const PostedMessage& m : message_sink::Take()) {
      if (m.message == msg::kDriverDownloadProgress) {
        auto* progress = reinterpret_cast<DriverDownloadProgress*>(m.lParam);
        progress_.push_back(*progress);
        delete progress;
      }
      all_.push_back(m);
    }
  }
  std::vector<int> States() {
    Drain();
    std::vector<int> states;
    for (const PostedMessage& m : all_)
      if (m.message == msg::kConnectionState) states.push_back(static_cast<int>(m.lParam));
    return states;
  }
  // Waits until `state` (or, by default, any final state of an attempt) was posted.
  bool WaitFor(int state = -1, int timeout_ms = 30000) {
    static const std::set<int> kFinal = {kConn_Phone_Open_debug, kConn_Phone_offline, kConn_InstallFailed,
                                         kConn_DownloadDrv,      kConn_DownloadDrv_failed, kConn_Socket_failed,
                                         kConn_Failed,           kConn_Sucess};
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
      for (int s : States())
        if (state >= 0 ? s == state : kFinal.count(s) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  const std::vector<PostedMessage>& All() {
    Drain();
    return all_;
  }
  const std::vector<DriverDownloadProgress>& Progress() {
    Drain();
    return progress_;
  }
  void Clear() {
    Drain();
    all_.clear();
    progress_.clear();
  }

 private:
  std::vector<PostedMessage> all_;
  std::vector<DriverDownloadProgress> progress_;
};

// The program folder, the user's folders and the statistics host of one test.
class ProgramSetup {
 public:
  explicit ProgramSetup(bool with_poster = true) {
    const std::string root = folder_.path();
    setenv("PHONEDECK_PROGRAM_DIR", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    if (with_poster) {
      std::ifstream in(std::string(PD_BIN_DIR) + "/libLettermill.so", std::ios::binary);
      std::ofstream out(root + "/libLettermill.so", std::ios::binary);
      out << in.rdbuf();
    }
    stats_.server().Post("/service/ClientRep.ashx", [this](const httplib::Request& req, httplib::Response& res) {
      stats_.Record(req);
      res.set_content("ok", "text/plain");
    });
    stats_.Start();
    setenv(kStatHostEnv, stats_.Base().c_str(), 1);
    if (with_poster) CLettermillInterface::Instance()->InitPost();
    CConfigMgr::Instance()->SetMainWnd(kMainWnd);
    message_sink::Take();
  }
  ~ProgramSetup() {
    CConfigMgr::Instance()->SetMainWnd(0);
    stats_.Stop();
    unsetenv(kStatHostEnv);
  }
  const testing_support::TempFolder& folder() const { return folder_; }
  // The "status" texts of the connectstat reports received, once there are
  // at least `expected` of them (reports may follow the state they report).
  std::vector<std::string> ConnectStatuses(size_t expected = 0, int timeout_ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::vector<std::string> statuses = ConnectStatusesNow();
    while (statuses.size() < expected && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      statuses = ConnectStatusesNow();
    }
    return statuses;
  }
  std::vector<std::string> ConnectStatusesNow() {
    std::vector<std::string> out;
    for (const web_test::SeenRequest& r : stats_.Seen()) {
      if (r.target.find("act=connectstat") == std::string::npos) continue;
      const size_t at = r.body.find("\"status\" : \"");
      if (at != std::string::npos) out.push_back(r.body.substr(at + 12, r.body.find('"', at + 12) - at - 12));
    }
    return out;
  }
  std::vector<std::string> ApkStatBodies() {
    std::vector<std::string> out;
    for (const web_test::SeenRequest& r : stats_.Seen())
      if (r.target.find("act=apkstat") != std::string::npos) out.push_back(r.body);
    return out;
  }

 private:
  testing_support::TempFolder folder_;
  web_test::LoopbackServer stats_;
};

}  // namespace connect_test
