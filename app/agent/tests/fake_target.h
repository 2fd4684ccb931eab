// A data manager stand-in: records every reply it receives (command name,
// status, reply bytes, whether the reply check passed) and deletes the
// package as a real manager does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/agent/base_response.h"
#include "app/agent/cmd_package.h"
#include "foundation/xml/xml_document.h"

namespace testing_support {

struct ReceivedReply {
  std::u16string command;
  int status;
  std::string bytes;
  bool checked;
  std::u16string document;
};

class FakeTarget : public CBaseResponse {
 public:
  void OnResponse(CmdResponse& response) override {
    ReceivedReply r;
    r.command = response.package->GetCommand();
    delete response.package;
    response.package = nullptr;
    r.status = response.status;
    const unsigned char* data = response.reply.GetData();
    r.bytes.assign(reinterpret_cast<const char*>(data), response.reply.GetLength());
    // The buffer keeps a zero behind its content.
    const bool terminated = data != nullptr && data[response.reply.GetLength()] == 0;
    CXmlDocument document;
    r.checked = CheckResponseStatus(response) && CheckResponse(document, response.reply);
    r.document = document.GetDocument();
    std::lock_guard<std::mutex> hold(lock_);
    terminated_ = terminated_ && terminated;
    replies_.push_back(std::move(r));
    arrived_.notify_all();
  }

  // Waits until `count` replies arrived (false after `ms`).
  bool WaitFor(size_t count, int ms = 20000) {
    std::unique_lock<std::mutex> hold(lock_);
    return arrived_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return replies_.size() >= count; });
  }
  std::vector<ReceivedReply> Replies() {
    std::lock_guard<std::mutex> hold(lock_);
    return replies_;
  }
  bool AllTerminated() {
    std::lock_guard<std::mutex> hold(lock_);
    return terminated_;
  }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<ReceivedReply> replies_;
  bool terminated_ = true;  // guarded by lock_ too
};

}  // namespace testing_support
