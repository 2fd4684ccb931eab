#include "task.h"

#include <curl/curl.h>
#include <fcntl.h>  // sync_file_range (_GNU_SOURCE)
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "../xldl.h"
#include "disk_room.h"
#include "names.h"
#include "resume_record.h"
#include "settings.h"

namespace xldl {

namespace {

constexpr long kConnectTimeoutSeconds = 15;
constexpr long kLowSpeedSeconds = 30;  // under a byte a second for this long: a network failure
constexpr long kBufferSize = 512 * 1024;
constexpr uint64_t kWritebackEvery = 8 * 1024 * 1024;
constexpr uint64_t kRoomProbeEvery = 1024 * 1024;  // the free space is asked again after this many bytes
constexpr uint64_t kUnlimited = UINT64_MAX;
constexpr auto kSpeedWindow = std::chrono::seconds(2);
constexpr auto kSampleEvery = std::chrono::milliseconds(100);

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<uint64_t>(st.st_size);
}

// "bytes 100-199/1000": the first and last byte and the total (0 when
// "*"); false unless first <= last < total.
bool ParseContentRange(const std::string& value, uint64_t* first, uint64_t* last, uint64_t* total) {
  unsigned long long a = 0, b = 0;
  char rest[32] = {0};
  if (std::sscanf(value.c_str(), "bytes %llu-%llu/%31s", &a, &b, rest) != 3) return false;
  *first = a;
  *last = b;
  *total = rest[0] == '*' ? 0 : std::strtoull(rest, nullptr, 10);
  return a <= b && (rest[0] == '*' || b < *total);
}

// A Content-Length value: decimal digits only.
bool ParseLength(const std::string& value, uint64_t* length) {
  if (value.empty() || value.size() > 19 || value.find_first_not_of("0123456789") != std::string::npos) return false;
  *length = std::strtoull(value.c_str(), nullptr, 10);
  return true;
}

std::string Trimmed(const char* data, size_t size) {
  size_t begin = 0;
  while (begin < size && (data[begin] == ' ' || data[begin] == '\t')) ++begin;
  while (size > begin && (data[size - 1] == '\r' || data[size - 1] == '\n' || data[size - 1] == ' ')) --size;
  return std::string(data + begin, size - begin);
}

}  // namespace

// One HTTP exchange of a task: from the request (with a range when a part
// is on disk) to the end of the body. Lives on the worker's stack.
struct Transfer {
  enum class Abort {
    kNone,
    kStop,
    kHttp,
    kFile,
    kName,
    kRestart,
    kFull,       // the body would take the floor of free space
    kTooLong,    // the body goes on beyond the length the answer announced
    kBadAnswer,  // a length or range that contradicts itself or the request
  };

  Task* task = nullptr;
  CURL* curl = nullptr;
  std::string name;
  std::string td_path;
  uint64_t offset = 0;   // bytes kept from an earlier transfer
  uint64_t written = 0;  // bytes written by this one
  uint64_t total = 0;
  uint64_t synced = 0;  // the file's bytes before this offset are on their way to the disk
  int fd = -1;
  bool started_body = false;
  long status = 0;
  Abort abort = Abort::kNone;
  std::string content_disposition, etag, last_modified, content_range;
  // The answer's own Content-Length (libcurl lets chunked coding override
  // it, so it is read here), and whether one was malformed or contradicted.
  std::optional<uint64_t> content_length;
  bool bad_length = false;
  uint64_t body_limit = kUnlimited;  // body bytes the answer announced
  std::optional<uint64_t> floor_override;
  uint64_t room = kUnlimited;  // bytes that keep the floor free, as of the last look
  uint64_t since_look = 0;     // bytes written since that look

  ~Transfer() {
    if (fd >= 0) ::close(fd);
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    const size_t bytes = size * count;
    if (bytes >= 5 && std::strncmp(data, "HTTP/", 5) == 0) {
      t->content_disposition.clear();  // a new response (after a redirect)
      t->etag.clear();
      t->last_modified.clear();
      t->content_range.clear();
      t->content_length.reset();
      t->bad_length = false;
      return bytes;
    }
    const char* colon = static_cast<const char*>(std::memchr(data, ':', bytes));
    if (colon == nullptr) return bytes;
    const std::string key(data, static_cast<size_t>(colon - data));
    const std::string value = Trimmed(colon + 1, bytes - static_cast<size_t>(colon - data) - 1);
    if (strcasecmp(key.c_str(), "Content-Disposition") == 0) t->content_disposition = value;
    if (strcasecmp(key.c_str(), "ETag") == 0) t->etag = value;
    if (strcasecmp(key.c_str(), "Last-Modified") == 0) t->last_modified = value;
    if (strcasecmp(key.c_str(), "Content-Range") == 0) t->content_range = value;
    if (strcasecmp(key.c_str(), "Content-Length") == 0) {
      uint64_t length = 0;
      if (!ParseLength(value, &length) || (t->content_length && *t->content_length != length)) t->bad_length = true;
      t->content_length = length;
    }
    return bytes;
  }

  static size_t OnData(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    const size_t bytes = size * count;
    if (t->task->stop_.load()) {
      t->abort = Abort::kStop;
      return 0;
    }
    if (!t->started_body && !t->BeginBody()) return 0;
    if (bytes > t->body_limit - t->written) {
      t->abort = Abort::kTooLong;
      return 0;
    }
    if (!t->TakeRoom(bytes)) {
      t->abort = Abort::kFull;
      return 0;
    }
    if (!WriteAll(t->fd, data, bytes)) {
      t->abort = Abort::kFile;
      return 0;
    }
    t->written += bytes;
    t->task->SetProgress(t->offset + t->written);
    t->StartWriteback();
    return bytes;
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(self)->task->stop_.load() ? 1 : 0;
  }

  // True when `bytes` more leave the floor of free space untouched. The
  // filesystem is asked again every megabyte (other writers take room too)
  // and whenever what was left at the last look would not do.
  bool TakeRoom(uint64_t bytes) {
    if (bytes > room || since_look >= kRoomProbeEvery) {
      room = RoomOfFile(fd, floor_override).value_or(kUnlimited);
      since_look = 0;
      if (bytes > room) return false;
    }
    room -= bytes;
    since_look += bytes;
    return true;
  }

  // Hands what was written since the last call to the disk in the
  // background every few megabytes, so the flush before the rename finds
  // little left to do.
  void StartWriteback() {
    const uint64_t end = offset + written;
    if (end - synced < kWritebackEvery) return;
    ::sync_file_range(fd, static_cast<off_t>(synced), static_cast<off_t>(end - synced), SYNC_FILE_RANGE_WRITE);
    synced = end;
  }

  // The headers are in: check the answer, settle the name and open the
  // ".td" file. False (with `abort` set) ends the transfer.
  bool BeginBody() {
    started_body = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
      if (status == 416 && offset > 0) {
        abort = Abort::kRestart;  // the part on disk is not a prefix of what the server has
      } else {
        abort = Abort::kHttp;
      }
      return false;
    }
    if (name.empty()) {
      name = NameFromContentDisposition(content_disposition);
      if (name.empty()) {
        char* effective = nullptr;
        curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
        if (effective != nullptr) name = NameFromUrl(effective);
      }
      if (name.empty()) name = NameFromUrl(task->url_);
      if (name.empty()) {
        abort = Abort::kName;
        return false;
      }
      td_path = task->folder_ + name + ".td";
    }
    uint64_t range_first = 0, range_last = 0, range_total = 0;
    if (status == 206) {
      // Only the part that was asked for will do: from the end of the part on
      // disk, or from byte 0 when no range was asked.
      if (!ParseContentRange(content_range, &range_first, &range_last, &range_total) || range_first != offset) {
        abort = offset > 0 ? Abort::kRestart : Abort::kBadAnswer;
        return false;
      }
      body_limit = range_last - range_first + 1;
      if (content_length && *content_length != body_limit) bad_length = true;
    } else {
      offset = 0;  // a whole body (200): whatever was on disk is dropped
      if (content_length) body_limit = *content_length;
    }
    if (bad_length) {
      abort = Abort::kBadAnswer;
      return false;
    }
    total = range_total != 0 ? range_total : (body_limit != kUnlimited ? offset + body_limit : 0);

    fd = ::open(td_path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (offset == 0 ? O_TRUNC : 0), 0644);
    struct stat st {};
    // Only a regular file of this user is continued or overwritten (never a link, a device or another's file).
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
      ::close(fd);
      fd = -1;
    }
    if (fd < 0 || (offset > 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) ||
        (offset > 0 && ::ftruncate(fd, static_cast<off_t>(offset)) != 0)) {
      abort = Abort::kFile;
      return false;
    }
    // A body that cannot fit above the floor is not begun.
    room = RoomOfFile(fd, floor_override).value_or(kUnlimited);
    if (body_limit != kUnlimited && body_limit > room) {
      if (offset == 0) ::unlink(td_path.c_str());  // emptied above: nothing of it is kept
      abort = Abort::kFull;
      return false;
    }
    ResumeRecord record{task->url_, total, etag.empty() ? last_modified : etag};
    if (!WriteResumeFile(td_path + ".cfg", record)) {
      abort = Abort::kFile;
      return false;
    }
    RememberSize(task->url_, total);
    {
      std::lock_guard<std::mutex> lock(task->mutex_);
      task->file_name_ = name;
      task->total_ = total;
    }
    synced = offset;
    task->SetProgress(offset);
    return true;
  }
};

Task::Task(std::string url, std::string folder, std::string file_name)
    : url_(std::move(url)), folder_(std::move(folder)), file_name_(std::move(file_name)) {}

Task::~Task() { Stop(); }

bool Task::Start() {
  std::lock_guard<std::mutex> control(control_mutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == kXlStateRunning || state_ == kXlStateFinished) return false;
  }
  if (worker_.joinable()) worker_.join();  // a worker that ended by itself
  stop_.store(false);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = kXlStateRunning;
    fail_code_ = 0;
  }
  worker_ = std::thread([this] { Work(); });
  return true;
}

bool Task::Stop() {
  std::lock_guard<std::mutex> control(control_mutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == kXlStateIdle || state_ == kXlStateRunning) state_ = kXlStateStopped;
  samples_.clear();
  return true;
}

Task::Snapshot Task::Query() {
  std::lock_guard<std::mutex> lock(mutex_);
  Snapshot s;
  s.state = state_;
  s.fail_code = fail_code_;
  s.file_name = file_name_;
  s.total = total_;
  s.downloaded = downloaded_;
  const auto now = std::chrono::steady_clock::now();
  while (!samples_.empty() && now - samples_.front().first > kSpeedWindow) samples_.pop_front();
  if (state_ == kXlStateRunning && !samples_.empty() && downloaded_ > samples_.front().second) {
    const double seconds = std::chrono::duration<double>(now - samples_.front().first).count();
    const double speed = static_cast<double>(downloaded_ - samples_.front().second) / (seconds > 0.05 ? seconds : 0.05);
    s.speed = speed > static_cast<double>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(speed);
  }
  return s;
}

void Task::SetProgress(uint64_t downloaded) {
  std::lock_guard<std::mutex> lock(mutex_);
  downloaded_ = downloaded;
  const auto now = std::chrono::steady_clock::now();
  if (samples_.empty() || now - samples_.back().first >= kSampleEvery) samples_.emplace_back(now, downloaded);
}

bool Task::WaitStopped(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, delay, [this] { return stop_.load(); });
}

void Task::Work() {
  int tries = 1;
  bool restarted = false;
  Result result;
  for (;;) {
    result = Attempt();
    if (result.outcome == Outcome::kRestart && !restarted) {
      restarted = true;  // once per start: drop the part on disk and fetch from byte 0
      continue;
    }
    if (result.outcome == Outcome::kRestart) result = {Outcome::kFailed, kXlFailCut};
    if (result.outcome != Outcome::kRetry) break;
    if (tries >= kTries) {
      result.outcome = Outcome::kFailed;
      break;
    }
    if (WaitStopped(std::chrono::milliseconds(200 * tries))) {
      result.outcome = Outcome::kStopped;
      break;
    }
    ++tries;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  samples_.clear();
  switch (result.outcome) {
    case Outcome::kDone:
      state_ = kXlStateFinished;
      break;
    case Outcome::kStopped:
      state_ = kXlStateStopped;
      break;
    default:
      state_ = kXlStateFailed;
      fail_code_ = result.fail_code;
      break;
  }
}

Task::Result Task::Attempt() {
  Transfer t;
  t.task = this;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    t.name = file_name_;
  }
  // No request while the folder's disk is at its floor of free space.
  t.floor_override = FloorOverride();
  if (RoomOfFolder(folder_, t.floor_override).value_or(kUnlimited) == 0) return {Outcome::kFailed, kXlFailFile};
  std::string validator;
  if (!t.name.empty()) {
    t.td_path = folder_ + t.name + ".td";
    const auto record = ReadResumeFile(t.td_path + ".cfg");
    if (record && record->url == url_ && FileSize(t.td_path) > 0) {
      t.offset = FileSize(t.td_path);
      validator = record->validator;
    }
  }

  t.curl = curl_easy_init();
  if (t.curl == nullptr) return {Outcome::kRetry, kXlFailNetwork};
  const TransferSettings settings = CurrentSettings();
  curl_easy_setopt(t.curl, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(t.curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(t.curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(t.curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(t.curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(t.curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(t.curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(t.curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(t.curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
  curl_easy_setopt(t.curl, CURLOPT_BUFFERSIZE, kBufferSize);
  // An empty proxy text also keeps libcurl from taking one from the environment.
  curl_easy_setopt(t.curl, CURLOPT_PROXY, settings.proxy.c_str());
  if (!settings.proxy_user.empty()) {
    curl_easy_setopt(t.curl, CURLOPT_PROXYUSERNAME, settings.proxy_user.c_str());
    curl_easy_setopt(t.curl, CURLOPT_PROXYPASSWORD, settings.proxy_password.c_str());
  }
  if (!settings.user_agent.empty()) curl_easy_setopt(t.curl, CURLOPT_USERAGENT, settings.user_agent.c_str());
  if (settings.max_bytes_per_second > 0) {
    curl_easy_setopt(t.curl, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(settings.max_bytes_per_second));
  }
  curl_slist* headers = nullptr;
  const std::string range = std::to_string(t.offset) + "-";
  if (t.offset > 0) {
    curl_easy_setopt(t.curl, CURLOPT_RANGE, range.c_str());
    if (!validator.empty()) {
      headers = curl_slist_append(headers, ("If-Range: " + validator).c_str());
      curl_easy_setopt(t.curl, CURLOPT_HTTPHEADER, headers);
    }
  }
  curl_easy_setopt(t.curl, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(t.curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(t.curl, CURLOPT_WRITEFUNCTION, &Transfer::OnData);
  curl_easy_setopt(t.curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(t.curl, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  curl_easy_setopt(t.curl, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(t.curl, CURLOPT_NOPROGRESS, 0L);

  CURLcode code = curl_easy_perform(t.curl);
  if (code == CURLE_OK && !t.started_body && !t.BeginBody()) code = CURLE_WRITE_ERROR;  // an empty body
  curl_easy_cleanup(t.curl);
  curl_slist_free_all(headers);

  if (t.abort == Transfer::Abort::kStop || stop_.load()) return {Outcome::kStopped, 0};
  switch (t.abort) {
    case Transfer::Abort::kHttp:
      return {Outcome::kFailed, t.status >= 500 ? kXlFailServer : kXlFailHttp};
    case Transfer::Abort::kFile:
      return {Outcome::kFailed, kXlFailFile};
    case Transfer::Abort::kName:
      return {Outcome::kFailed, kXlFailBadUrl};
    case Transfer::Abort::kFull:
      return {Outcome::kFailed, kXlFailFile};
    case Transfer::Abort::kBadAnswer:
      return {Outcome::kFailed, kXlFailServer};
    case Transfer::Abort::kTooLong:
    case Transfer::Abort::kRestart:
      // The part on disk is not a prefix of the file (or came from an answer that lied about its length).
      if (!t.td_path.empty()) {
        ::unlink(t.td_path.c_str());
        ::unlink((t.td_path + ".cfg").c_str());
      }
      if (t.abort == Transfer::Abort::kTooLong) return {Outcome::kFailed, kXlFailServer};
      return {Outcome::kRestart, 0};
    default:
      break;
  }
  switch (code) {
    case CURLE_OK:
      break;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_TOO_MANY_REDIRECTS:
      return {Outcome::kFailed, kXlFailBadUrl};
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return {Outcome::kRetry, kXlFailCut};
    default:
      return {Outcome::kRetry, kXlFailNetwork};
  }
  if (t.total != 0 && t.offset + t.written != t.total) return {Outcome::kRetry, kXlFailCut};
  if (::fdatasync(t.fd) != 0 || ::close(t.fd) != 0) {
    t.fd = -1;
    return {Outcome::kFailed, kXlFailFile};
  }
  t.fd = -1;
  const std::string final_path = folder_ + t.name;
  if (::rename(t.td_path.c_str(), final_path.c_str()) != 0) return {Outcome::kFailed, kXlFailFile};
  ::unlink((t.td_path + ".cfg").c_str());
  const uint64_t size = t.offset + t.written;
  RememberSize(url_, size);
  std::lock_guard<std::mutex> lock(mutex_);
  total_ = size;
  downloaded_ = size;
  return {Outcome::kDone, 0};
}

}  // namespace xldl
