// Function trace: a scope object that logs "Function <name> Entry" when it is
// made and "Function <name> Leave, used tick:<ms> ms" when it goes, both at
// level 4 (TRACE) in base::BaseLog, with this header as the source position.
//   void CAutoTaskMgr::StartDownload() {
//     CLogInOut trace("CAutoTaskMgr::StartDownload");
//     ...
#pragma once

#include <cstdint>
#include <string>

#include "foundation/base/log.h"
#include "platform/clock.h"

class CLogInOut {
 public:
  explicit CLogInOut(const char* name)
      : name_(name != nullptr ? name : ""),
        frequency_(platform::PerformanceFrequency()),
        start_(platform::PerformanceCounter()) {
    PD_LOG_TRACE("Function %s Entry", name_.c_str());
  }

  ~CLogInOut() {
    end_ = platform::PerformanceCounter();
    int64_t elapsed = frequency_ > 0 ? (end_ - start_) * 1000 / frequency_ : 0;
    PD_LOG_TRACE("Function %s Leave, used tick:%d ms\n", name_.c_str(), static_cast<int32_t>(elapsed));
  }

  CLogInOut(const CLogInOut&) = delete;
  CLogInOut& operator=(const CLogInOut&) = delete;

 private:
  std::string name_;
  int64_t frequency_;
  int64_t start_;
  int64_t end_ = 0;
};
