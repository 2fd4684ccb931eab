// Starts the simulated phone (testing/phone_sim) for a test and talks to
// its control channel. The simulator runs its own adb server on a free
// port with its own HOME; Start() points this process's environment at it
// (ANDROID_ADB_SERVER_PORT, HOME is left alone: adb only needs the port).
// It dies with the test: its stdin is our pipe (--exit-on-stdin-eof). Its
// stderr passes through to ours and its end is kept, so a start that fails
// can say why.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class PhoneSim {
 public:
  PhoneSim() = default;
  ~PhoneSim();
  PhoneSim(const PhoneSim&) = delete;
  PhoneSim& operator=(const PhoneSim&) = delete;

  // Starts phone_sim.py with `flags`; true once its READY line was read.
  // On false, Failure() tells why.
  bool Start(const std::vector<std::string>& flags = {"--forward"});
  void Stop();
  // Why the last Start failed, with the end of the simulator's stderr.
  std::string Failure() const;

  // A field of the READY line ("serial", "agent_port", ...); empty if absent.
  std::string Field(const std::string& key) const;
  int Port(const std::string& key) const;
  // Points the program code in this process at the agent and FTP ports the
  // simulator forwarded (PHONEDECK_AGENT_PORT, PHONEDECK_FTP_PORT,
  // PHONEDECK_FTP_PASSIVE_PORT); for a simulator started with --forward.
  void ExportForwardedPorts() const;

  // One control command; the reply line ("OK ..." / "ERR ...").
  std::string Control(const std::string& command) const;
  // The JSON list of protocol errors ("[]" when the program spoke it).
  std::string Errors() const;

 private:
  bool Fail(const std::string& why);
  void CopyStderr(int fd);

  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int stdout_fd_ = -1;
  std::map<std::string, std::string> fields_;
  std::string failure_;
  // The thread copying the simulator's stderr; it ends at the pipe's end or
  // when stop_copy_ is set (Stop, after the simulator was reaped).
  std::thread stderr_copier_;
  std::atomic<bool> stop_copy_{false};
  mutable std::mutex stderr_lock_;  // guards stderr_tail_ (copier thread vs. Failure)
  std::string stderr_tail_;
};

// Path of the built agent package (bin/apk/...).
std::string AgentApkPath(bool old_version = false);

}  // namespace testing_support
