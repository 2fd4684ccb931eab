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
// Threading: RunChildProcess is reentrant; concurrent runs share nothing
// (pipe ends are close-on-exec, so no other child inherits them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace adb {

struct ChildResult {
  bool started = false;     // the program could be started
  bool exited = false;      // it ended by itself within the time-out
  bool timed_out = false;
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
