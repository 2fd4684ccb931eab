// The program log, opened for one test in a folder of its own and read back
// as text: for tests that look for the lines the code under test writes.
// The folder reaches the log through PHONEDECK_PROGRAM_DIR, whose earlier
// value comes back when the capture ends (the log is closed then).
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "foundation/base/log.h"
#include "foundation/base/tests/temp_dir.h"

namespace testing_support {

class CapturedLog {
 public:
  CapturedLog() {
    if (const char* old = ::getenv("PHONEDECK_PROGRAM_DIR")) old_ = std::string(old);
    ::mkdir((folder_ / "log").c_str(), 0700);
    ::setenv("PHONEDECK_PROGRAM_DIR", folder_.path().c_str(), 1);
    opened_ = base::BaseLog::GetInstance()->Open("log/captured.log");
  }
  ~CapturedLog() {
    if (opened_) base::BaseLog::GetInstance()->Close();
    if (old_) {
      ::setenv("PHONEDECK_PROGRAM_DIR", old_->c_str(), 1);
    } else {
      ::unsetenv("PHONEDECK_PROGRAM_DIR");
    }
  }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  // False when the log was open already (nothing is captured then).
  bool opened() const { return opened_; }
  // Every line so far (each line is written through at once).
  std::string Text() const { return ReadFile(folder_ / "log/captured.log"); }
  bool Has(const std::string& text) const { return Text().find(text) != std::string::npos; }

 private:
  TempDir folder_;
  std::optional<std::string> old_;
  bool opened_ = false;
};

}  // namespace testing_support
