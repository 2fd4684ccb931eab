// Runs a program as a child process and collects what it writes.
//
// argv vector, no shell: nothing in an argument is interpreted. Standard
// output and standard error share one pipe; standard input is /dev/null.
// The environment is passed on unchanged (so ANDROID_ADB_SERVER_PORT and
// HOME reach adb).
//
// Reading: everything the child writes until it exits, then whatever is
// still waiting in the pipe. EOF is not awaited after the exit: a daemon
// the child starts (the adb server) may inherit the pipe and hold it open
// for ever. A child that outlives the time-out is asked to end (SIGTERM),
// given a short grace, then killed, and the run reports a time-out.
//
// Cancelling: runs on a thread inside a ChildControlScope answer to its
// ChildControl. Cancel, from any thread, makes the run in progress end its
// child the same way as at the time-out, and later runs under the control
// refuse to start. Only the child a run started itself is ever signalled,
// and by that run, before it reaps the child: never an adb server the
// child left behind, nor any other process.
//
// Threading: RunChildProcess is reentrant; concurrent runs share nothing
// (pipe ends are close-on-exec, so no other child inherits them).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace adb {

// Threading: Cancel, Reset and IsCancelled from any thread.
class ChildControl {
 public:
  void Cancel() { cancelled_.store(true); }
  void Reset() { cancelled_.store(false); }
  bool IsCancelled() const { return cancelled_.load(); }

 private:
  std::atomic<bool> cancelled_{false};
};

// Runs on the calling thread answer to `control` while the scope lives
// (scopes nest; null: to none).
class ChildControlScope {
 public:
  explicit ChildControlScope(ChildControl* control);
  ~ChildControlScope();
  ChildControlScope(const ChildControlScope&) = delete;
  ChildControlScope& operator=(const ChildControlScope&) = delete;

 private:
  ChildControl* previous_;
};

struct ChildResult {
  bool started = false;     // the program could be started
  bool exited = false;      // it ended by itself within the time-out
  bool timed_out = false;
  bool cancelled = false;   // its control was cancelled (not started, or ended)
  int exit_code = -1;       // exit status, or 128 + signal
  std::string output;       // raw bytes of standard output and error
  std::string error;        // why it could not be started
  int error_code = 0;       // errno of that failure
  bool pipe_failed = false; // the failure was creating the pipe
};

// `program`: a path, or a bare name looked up on PATH. `args` exclude the
// program name. `timeout_ms` 0 means no limit.
ChildResult RunChildProcess(const std::string& program, const std::vector<std::string>& args,
                            uint32_t timeout_ms);

}  // namespace adb
