// What a test or benchmark needs to run the real program as installed: a
// program folder of its own that holds the build's files, and loopback
// ports standing for a service that cannot be reached.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace program_copy {

// Fills `to` with the files of `from` as hard links (copies where linking
// fails), folders made anew, its logs left out: a program folder that the
// dynamic loader sees as one folder, like an installed copy. False when a
// file could not be placed.
inline bool LinkTree(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(from, error)) {
    const std::filesystem::path target = to / entry.path().filename();
    if (entry.path().filename() == "log") continue;
    if (entry.is_directory()) {
      if (!std::filesystem::create_directory(target, error) && error) return false;
      if (!LinkTree(entry.path(), target)) return false;
      continue;
    }
    std::filesystem::create_hard_link(entry.path(), target, error);
    if (error && !std::filesystem::copy_file(entry.path(), target, error)) return false;
  }
  return !error;
}

// A loopback port held bound for as long as the object lives: a UDP one
// receives and never answers, a TCP one (not listening) refuses every
// connection. The port comes from the system; 0 when none could be bound.
class HeldPort {
 public:
  explicit HeldPort(int type) : fd_(socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
    }
  }
  ~HeldPort() {
    if (fd_ >= 0) close(fd_);
  }
  HeldPort(const HeldPort&) = delete;
  HeldPort& operator=(const HeldPort&) = delete;
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

}  // namespace program_copy
