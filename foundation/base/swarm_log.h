// base::CBaseLog: the download engine library's log, "log/xldown.log" below
// the host program's folder. The same log as base::BaseLog under its own name
// and with its own process-wide instance; write to it with
//   PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogInfo, "...", ...);
#pragma once

#include "foundation/base/log.h"

namespace base {

class CBaseLog : public BaseLog {
 public:
  static constexpr const char kFileName[] = "log/xldown.log";

  // The one instance, made on first use; null when it cannot be allocated.
  static CBaseLog* GetInstance();
  // Closes and deletes the instance; the next GetInstance() makes a new one.
  static void ReleaseInstance();

  bool Open() { return BaseLog::Open(kFileName); }
};

}  // namespace base
