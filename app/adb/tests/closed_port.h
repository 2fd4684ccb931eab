// A loopback TCP port held bound without listening: connecting to it is
// refused at once, and no other socket can take the port while the object
// lives, so a test that needs "a port where nobody answers" never races
// another test for it. Made with SOCK_DGRAM it is a UDP port that receives
// and never answers (a service that is silent).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace testing_support {

class ClosedPort {
 public:
  explicit ClosedPort(int type = SOCK_STREAM) {
    fd_ = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
    }
  }
  ~ClosedPort() { Release(); }
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;

  // 0 when no port could be bound.
  int port() const { return port_; }
  // Lets the port go, for a program that binds it itself (an adb forward).
  // Someone else may take it before the program does: such a test retries
  // its whole start with fresh ports when the program could not bind.
  void Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// How often a test whose program binds released ports itself starts again
// with fresh ones when a port was taken in between.
constexpr int kPortAttempts = 5;

// Names three released ports to the program as its forward ports
// (PHONEDECK_AGENT_PORT, PHONEDECK_FTP_PORT, PHONEDECK_FTP_PASSIVE_PORT), which
// it binds itself through adb forward; returns the agent's.
inline int NameForwardPorts() {
  ClosedPort agent, ftp, passive;
  setenv("PHONEDECK_AGENT_PORT", std::to_string(agent.port()).c_str(), 1);
  setenv("PHONEDECK_FTP_PORT", std::to_string(ftp.port()).c_str(), 1);
  setenv("PHONEDECK_FTP_PASSIVE_PORT", std::to_string(passive.port()).c_str(), 1);
  return agent.port();
}

inline void ForgetForwardPorts() {
  unsetenv("PHONEDECK_AGENT_PORT");
  unsetenv("PHONEDECK_FTP_PORT");
  unsetenv("PHONEDECK_FTP_PASSIVE_PORT");
}

}  // namespace testing_support
