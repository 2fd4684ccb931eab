#include "app/adb/tests/phone_sim_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace testing_support {

std::string AgentApkPath(bool old_version) {
  return std::string(PD_BINARY_DIR) + (old_version ? "/bin/apk/com.zelvik.assist-v2.apk"
                                                   : "/bin/apk/com.zelvik.assist.apk");
}

PhoneSim::~PhoneSim() { Stop(); }

namespace {
constexpr size_t kStderrTailBytes = 16 * 1024;
}

bool PhoneSim::Start(const std::vector<std::string>& flags) {
  Stop();
  failure_.clear();
  fields_.clear();
  {
    std::lock_guard<std::mutex> hold(stderr_lock_);
    stderr_tail_.clear();
  }
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return Fail("pipe failed");
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    close(in_pipe[0]);
    close(in_pipe[1]);
    return Fail("pipe failed");
  }
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1]}) close(fd);
    return Fail("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  std::vector<std::string> args{"/usr/bin/python3", std::string(PD_SOURCE_DIR) + "/testing/phone_sim/phone_sim.py",
                                "--exit-on-stdin-eof"};
  args.insert(args.end(), flags.begin(), flags.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  stdin_fd_ = in_pipe[1];
  stdout_fd_ = out_pipe[0];
  if (rc != 0) {
    pid_ = -1;
    close(err_pipe[0]);
    return Fail("posix_spawn failed: " + std::to_string(rc));
  }
  stop_copy_ = false;
  stderr_copier_ = std::thread(&PhoneSim::CopyStderr, this, err_pipe[0]);
  // Read the READY line (60 s at most: the adb server starts first).
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Fail("no READY line within 60 s");
    pollfd p{stdout_fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return Fail("no READY line within 60 s");
    char c[256];
    ssize_t n = read(stdout_fd_, c, sizeof(c));
    if (n <= 0) return Fail("the simulator ended before its READY line");
    line.append(c, static_cast<size_t>(n));
  }
  line = line.substr(0, line.find('\n'));
  if (line.rfind("PHONESIM READY", 0) != 0) return Fail("unexpected first line: " + line);
  std::istringstream words(line.substr(15));
  std::string word;
  while (words >> word) {
    const size_t eq = word.find('=');
    if (eq != std::string::npos) fields_[word.substr(0, eq)] = word.substr(eq + 1);
  }
  if (!Field("adb_port").empty()) setenv("ANDROID_ADB_SERVER_PORT", Field("adb_port").c_str(), 1);
  return true;
}

void PhoneSim::Stop() {
  if (stdin_fd_ >= 0) close(stdin_fd_);
  stdin_fd_ = -1;
  if (pid_ > 0) {
    int status = 0;
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
      gone = waitpid(pid_, &status, WNOHANG) == pid_;
      if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (i == 200) kill(pid_, SIGTERM);
    }
    if (!gone) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  pid_ = -1;
  if (stdout_fd_ >= 0) close(stdout_fd_);
  stdout_fd_ = -1;
  stop_copy_ = true;
  if (stderr_copier_.joinable()) stderr_copier_.join();
}

bool PhoneSim::Fail(const std::string& why) {
  Stop();  // reaps the simulator and collects the rest of its stderr
  std::lock_guard<std::mutex> hold(stderr_lock_);
  failure_ = "the phone simulator did not start: " + why + "\n--- its stderr ---\n" + stderr_tail_;
  return false;
}

std::string PhoneSim::Failure() const { return failure_; }

void PhoneSim::CopyStderr(int fd) {
  char chunk[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      if (stop_copy_) break;  // a grandchild may hold the pipe open: stop once the simulator is gone
      continue;
    }
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    (void)!write(2, chunk, static_cast<size_t>(n));
    std::lock_guard<std::mutex> hold(stderr_lock_);
    stderr_tail_.append(chunk, static_cast<size_t>(n));
    if (stderr_tail_.size() > kStderrTailBytes) stderr_tail_.erase(0, stderr_tail_.size() - kStderrTailBytes);
  }
  close(fd);
}

std::string PhoneSim::Field(const std::string& key) const {
  auto it = fields_.find(key);
  return it == fields_.end() ? std::string() : it->second;
}

int PhoneSim::Port(const std::string& key) const { return std::atoi(Field(key).c_str()); }

void PhoneSim::ExportForwardedPorts() const {
  setenv("PHONEDECK_AGENT_PORT", Field("agent_port").c_str(), 1);
  setenv("PHONEDECK_FTP_PORT", Field("ftp_port").c_str(), 1);
  setenv("PHONEDECK_FTP_PASSIVE_PORT", Field("ftp_passive_port").c_str(), 1);
}

std::string PhoneSim::Control(const std::string& command) const {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "ERR socket";
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(Port("control_port")));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    return "ERR connect";
  }
  const std::string line = command + "\n";
  (void)!write(fd, line.data(), line.size());
  std::string reply;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') reply += c;
  close(fd);
  return reply;
}

std::string PhoneSim::Errors() const {
  std::string reply = Control("errors");
  return reply.rfind("OK ", 0) == 0 ? reply.substr(3) : reply;
}

}  // namespace testing_support
