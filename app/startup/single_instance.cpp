#include "app/startup/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>

#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "platform/private_folder.h"
#include "platform/user_folders.h"

namespace {

constexpr uint32_t kWmSysCommand = 0x0112;
constexpr uintptr_t kScRestore = 0xF120;
constexpr uint32_t kWakeUp = 35768;        // WM_APP + 3000
constexpr uint32_t kQuitRequest = 1295;    // WM_USER + 271
constexpr size_t kMaxLine = 64;
constexpr int kMaxLinesPerClient = 8;

// What a local client may post to the main window: the wake-up pair of a
// second start and the quit request. Nothing that carries a pointer.
bool IsAcceptedMessage(uint32_t message, uintptr_t wParam) {
  if (message == kWmSysCommand) return (wParam & 0xFFF0) == kScRestore;
  return message == kWakeUp || message == kQuitRequest;
}

// A file or socket name from a mutex or class name: letters, digits and
// "-_.{}" kept, everything else '_'.
std::string SafeName(const char16_t* name) {
  std::string out;
  for (const char16_t* p = name; p && *p; ++p) {
    char16_t c = *p;
    bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
                c == u'_' || c == u'.' || c == u'{' || c == u'}';
    out += keep ? static_cast<char>(c) : '_';
  }
  if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
  return out;
}

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof(addr->sun_path)) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Reads one '\n'-terminated line (without it) before `deadline`. False on
// time-out, end of stream, error or a line longer than kMaxLine.
bool ReadLine(int fd, std::string* buffer, std::string* line, int64_t deadline) {
  for (;;) {
    size_t nl = buffer->find('\n');
    if (nl != std::string::npos) {
      *line = buffer->substr(0, nl);
      buffer->erase(0, nl + 1);
      return line->size() <= kMaxLine;
    }
    if (buffer->size() > kMaxLine) return false;
    int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    pollfd pfd{fd, POLLIN, 0};
    int r = poll(&pfd, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    char chunk[128];
    ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffer->append(chunk, static_cast<size_t>(n));
  }
}

bool SendAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// "post <msg> <wParam> <lParam>" with decimal numbers and nothing after them.
bool ParsePostLine(const std::string& line, uint32_t* message, uintptr_t* wParam, intptr_t* lParam) {
  std::istringstream in(line);
  std::string verb;
  unsigned long long m = 0, w = 0;
  long long l = 0;
  if (!(in >> verb >> m >> w >> l) || verb != "post") return false;
  std::string rest;
  if (in >> rest) return false;
  if (m > 0xFFFFFFFFull) return false;
  *message = static_cast<uint32_t>(m);
  *wParam = static_cast<uintptr_t>(w);
  *lParam = static_cast<intptr_t>(l);
  return true;
}

std::mutex g_poster_lock;  // guards g_poster and g_prober (set on the main thread, read on the listener's)
CSingleInstance::Poster g_poster;
CSingleInstance::Prober g_prober;

// One probe's answer, shared by the listener that waits for it and the UI
// thread that gives it (possibly after the listener stopped waiting).
struct ProbeAnswer {
  std::mutex lock;  // guards answered
  std::condition_variable given;
  bool answered = false;
};

// True when the UI thread (through the prober) answered before `deadline`;
// true at once without a prober.
bool UiThreadAnswers(int64_t deadline) {
  CSingleInstance::Prober prober;
  {
    std::lock_guard<std::mutex> hold(g_poster_lock);
    prober = g_prober;
  }
  if (!prober) return true;
  auto answer = std::make_shared<ProbeAnswer>();
  const bool posted = prober([answer] {
    std::lock_guard<std::mutex> hold(answer->lock);
    answer->answered = true;
    answer->given.notify_all();
  });
  if (!posted) return false;
  std::unique_lock<std::mutex> hold(answer->lock);
  const int64_t left = std::max<int64_t>(0, deadline - NowMs());
  return answer->given.wait_for(hold, std::chrono::milliseconds(left), [&] { return answer->answered; });
}

bool Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  CSingleInstance::Poster poster;
  {
    std::lock_guard<std::mutex> hold(g_poster_lock);
    poster = g_poster;
  }
  return poster ? poster(message, wParam, lParam) : false;
}

}  // namespace

// The first instance's end of the socket: one thread that accepts clients
// one at a time, each bounded by kAnswerTimeoutMs and kMaxLinesPerClient.
// Stopped through a pipe that wakes its poll.
class CInstanceListener {
 public:
  ~CInstanceListener() { Stop(); }

  bool Start(const std::string& path) {
    path_ = path;
    sockaddr_un addr;
    if (!FillAddress(path, &addr)) {
      PD_LOG_ERROR("single instance: socket path too long: %s", path.c_str());
      return false;
    }
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    unlink(path.c_str());  // we hold the lock: a socket file left here is stale
    if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd_, 4) != 0) {
      PD_LOG_ERROR("single instance: cannot listen on %s: %s", path.c_str(), std::strerror(errno));
      close(fd_);
      fd_ = -1;
      return false;
    }
    chmod(path.c_str(), 0600);
    if (pipe2(wake_, O_CLOEXEC) != 0) {
      close(fd_);
      fd_ = -1;
      return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  void Stop() {
    if (thread_.joinable()) {
      char b = 1;
      ssize_t ignored = write(wake_[1], &b, 1);
      (void)ignored;
      thread_.join();
    }
    if (fd_ >= 0) {
      close(fd_);
      fd_ = -1;
      unlink(path_.c_str());
    }
    for (int& w : wake_) {
      if (w >= 0) close(w);
      w = -1;
    }
  }

 private:
  void Run() {
    for (;;) {
      pollfd pfds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      int r = poll(pfds, 2, -1);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 || (pfds[1].revents & POLLIN)) return;
      if (!(pfds[0].revents & POLLIN)) continue;
      int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      timeval send_limit{CSingleInstance::kAnswerTimeoutMs / 1000, 0};
      setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &send_limit, sizeof(send_limit));
      Serve(client);
      close(client);
    }
  }

  void Serve(int client) {
    ucred cred{};
    socklen_t len = sizeof(cred);
    if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != getuid()) {
      PD_LOG_WARNING("single instance: refused a client of another user");
      return;
    }
    int64_t deadline = NowMs() + CSingleInstance::kAnswerTimeoutMs;
    std::string buffer, line;
    for (int i = 0; i < kMaxLinesPerClient; ++i) {
      if (!ReadLine(client, &buffer, &line, deadline)) return;
      uint32_t message = 0;
      uintptr_t wParam = 0;
      intptr_t lParam = 0;
      if (line == "probe") {
        if (!UiThreadAnswers(deadline)) {
          PD_LOG_WARNING("single instance: the window does not answer; a probe goes unanswered");
          return;
        }
        if (!SendAll(client, "alive\n")) return;
      } else if (ParsePostLine(line, &message, &wParam, &lParam) && IsAcceptedMessage(message, wParam)) {
        PD_LOG_TRACE("single instance: message %u (%lu) from another process", message,
                     static_cast<unsigned long>(wParam));
        Deliver(message, wParam, lParam);
      } else {
        PD_LOG_WARNING("single instance: refused request \"%s\"", line.c_str());
        return;
      }
    }
  }

  std::string path_;
  int fd_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
};

int CSingleInstance::lock_fd_ = -1;
std::unique_ptr<CInstanceListener> CSingleInstance::listener_;

std::string CSingleInstance::refusal_;

std::string CSingleInstance::RuntimeDir() {
  std::string why;
  return UsableRuntimeDir(&why);
}

std::string CSingleInstance::UsableRuntimeDir(std::string* why) {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  if (xdg && xdg[0] == '/' && stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) return xdg;
  std::string dir = platform::TempDir() + "/phonedeck-" + std::to_string(getuid());
  std::string error;
  if (!platform::EnsurePrivateFolder(dir, &error)) {
    // The lock and the socket are never made in a folder of another user's.
    PD_LOG_ERROR("single instance: the runtime folder cannot be used: %s", error.c_str());
    *why = "the runtime folder cannot be used: " + error;
    return std::string();
  }
  return dir;
}

std::string CSingleInstance::LockPath(const char16_t* mutex_name) {
  const std::string dir = RuntimeDir();
  return dir.empty() ? dir : dir + "/" + SafeName(mutex_name) + ".lock";
}

std::string CSingleInstance::PrivateLockPath(const char16_t* mutex_name) {
  const std::string dir = RuntimeDir();
  return dir.empty() ? dir : dir + "/" + SafeName(mutex_name) + "-" + std::to_string(getuid()) + ".lock";
}

std::string CSingleInstance::Refusal() { return refusal_; }

std::string CSingleInstance::SocketPath(const char16_t* window_class) {
  const std::string dir = RuntimeDir();
  return dir.empty() ? dir : dir + "/" + SafeName(window_class) + "-" + std::to_string(getuid()) + ".sock";
}

void CSingleInstance::SetPoster(Poster poster) {
  std::lock_guard<std::mutex> hold(g_poster_lock);
  g_poster = std::move(poster);
}

void CSingleInstance::SetProber(Prober prober) {
  std::lock_guard<std::mutex> hold(g_poster_lock);
  g_prober = std::move(prober);
}

bool CSingleInstance::SendToRunningInstance(const char16_t* window_class, const std::string& lines) {
  std::string path = SocketPath(window_class);
  sockaddr_un addr;
  if (path.empty() || !FillAddress(path, &addr)) return false;
  // Non-blocking connect: a listener whose queue is full does not hold us.
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  timeval send_limit{kAnswerTimeoutMs / 1000, (kAnswerTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_limit, sizeof(send_limit));
  bool ok = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    PD_LOG_INFO("single instance: no window to restore (%s)", std::strerror(errno));
  } else {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // sends are bounded by SO_SNDTIMEO
    // The listener answers the probe at once unless its process is stopped
    // or stuck: then it counts as hung and gets nothing.
    std::string buffer, answer;
    if (SendAll(fd, "probe\n") && ReadLine(fd, &buffer, &answer, NowMs() + kAnswerTimeoutMs) && answer == "alive") {
      ok = SendAll(fd, lines);
    } else {
      PD_LOG_WARNING("single instance: the running instance does not answer; nothing sent");
    }
  }
  close(fd);
  return ok;
}

bool CSingleInstance::WakeRunningInstance(const char16_t* window_class, bool restore) {
  // The first instance's window restores, shows and raises itself when it
  // handles 35768, so no separate raise is sent. Without `restore` the
  // probe alone asks whether it lives.
  char lines[96] = "";
  if (restore) {
    std::snprintf(lines, sizeof(lines), "post %u %lu 0\npost %u 100 0\n", kWmSysCommand,
                  static_cast<unsigned long>(kScRestore), kWakeUp);
  }
  return SendToRunningInstance(window_class, lines);
}

bool CSingleInstance::Check(const char16_t* mutex_name, const char16_t* window_class, const char16_t* window_name,
                            bool restore) {
  (void)window_name;  // the socket stands for the window of the class; titles are not matched
  refusal_.clear();
  std::string why;
  if (UsableRuntimeDir(&why).empty()) {
    PD_LOG_ERROR("single instance: no runtime folder for the lock; not starting");
    refusal_ = why;
    return false;
  }
  std::string path = LockPath(mutex_name);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    // A lock that cannot be opened (another user's, as a run under sudo
    // leaves it, or something else standing at its name) says nothing of
    // a running copy: the first instance's socket does. With none there,
    // this user's own lock beside it decides.
    const std::string first_error = std::strerror(errno);
    PD_LOG_WARNING("single instance: cannot open %s: %s; asking the first instance's socket", path.c_str(),
                   first_error.c_str());
    if (WakeRunningInstance(window_class, restore)) {
      PD_LOG_INFO("single instance: another instance runs");
      return false;
    }
    const std::string own = PrivateLockPath(mutex_name);
    fd = open(own.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      const std::string own_error = std::strerror(errno);
      PD_LOG_ERROR("single instance: cannot open %s either: %s; not starting", own.c_str(), own_error.c_str());
      refusal_ = "the lock " + path + " cannot be opened (" + first_error + "), nor " + own + " (" + own_error + ")";
      return false;
    }
    PD_LOG_INFO("single instance: using this user's own lock %s", own.c_str());
    path = own;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    if (err != EWOULDBLOCK) {
      PD_LOG_ERROR("single instance: cannot lock %s: %s; not starting", path.c_str(), std::strerror(err));
      refusal_ = "the lock " + path + " cannot be taken (" + std::strerror(err) + ")";
      return false;
    }
    PD_LOG_INFO("single instance: another instance runs");
    if (restore) WakeRunningInstance(window_class, true);
    return false;
  }
  lock_fd_ = fd;
  listener_ = std::make_unique<CInstanceListener>();
  if (!listener_->Start(SocketPath(window_class))) {
    // Still the only instance; a second start just finds no window.
    listener_.reset();
  }
  return true;
}

void CSingleInstance::Close() {
  listener_.reset();
  if (lock_fd_ >= 0) {
    close(lock_fd_);  // releases the lock; the file stays for the next start
    lock_fd_ = -1;
  }
}

namespace {
// Closes the lock at exit, as a start-up that returns without Close would
// leave it; a later start then becomes the first instance again.
struct SingleInstanceAtExit {
  ~SingleInstanceAtExit() { CSingleInstance::Close(); }
} g_single_instance_at_exit;
}  // namespace
