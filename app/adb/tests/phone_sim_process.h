// Starts the simulated phone (testing/phone_sim) for a test and talks to
// its control channel. The simulator runs its own adb server on a free
// port with its own HOME; Start() points this process's environment at it
// (ANDROID_ADB_SERVER_PORT, HOME is left alone: adb only needs the port).
// It dies with the test: its stdin is our pipe (--exit-on-stdin-eof).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

class PhoneSim {
 public:
  PhoneSim() = default;
  ~PhoneSim();
  PhoneSim(const PhoneSim&) = delete;
  PhoneSim& operator=(const PhoneSim&) = delete;

  // Starts phone_sim.py with `flags`; true once its READY line was read.
  bool Start(const std::vector<std::string>& flags = {"--forward"});
  void Stop();

  // A field of the READY line ("serial", "agent_port", ...); empty if absent.
  std::string Field(const std::string& key) const;
  int Port(const std::string& key) const;

  // One control command; the reply line ("OK ..." / "ERR ...").
  std::string Control(const std::string& command) const;
  // The JSON list of protocol errors ("[]" when the program spoke it).
  std::string Errors() const;

 private:
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int stdout_fd_ = -1;
  std::map<std::string, std::string> fields_;
};

// Path of the built agent package (bin/apk/...).
std::string AgentApkPath(bool old_version = false);

}  // namespace testing_support
