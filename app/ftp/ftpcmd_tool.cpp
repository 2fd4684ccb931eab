#include "app/ftp/ftpcmd_tool.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/curl/curl_library.h"
#include "app/ftp/ftp_url.h"
#include "foundation/base/log.h"

namespace {

// Made on first use by Instance (any thread), deleted by Release once the
// threads that transfer have been joined.
std::atomic<CFtpCmdTool*> g_instance{nullptr};
std::mutex g_instance_lock;

constexpr char kAllowedProtocols[] = "http,https,ftp";

// The receive buffer of the curl command line: a large download takes a
// fifth of the write calls libcurl's default of 16 KB needs.
constexpr long kReceiveBufferBytes = 100 * 1024;

// Options every handle gets: no signals (threads), bounded waits, the
// receive buffer.
void SetCommonOptions(CURL* curl) {
  curl_library::EasySetopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_library::EasySetopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_library::EasySetopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(CFtpCmdTool::kConnectTimeoutS));
  curl_library::EasySetopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_library::EasySetopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(CFtpCmdTool::kStallTimeoutS));
}

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* stream) {
  FILE* file = static_cast<FILE*>(stream);
  const size_t n = fread(buffer, size, count, file);
  if (n == 0 && ferror(file) != 0) return CURL_READFUNC_ABORT;
  return n;
}

// The local file of a download, opened on the first block.
struct DownloadTarget {
  const char* path = nullptr;
  FILE* file = nullptr;
  bool failed = false;
  uint64_t max_bytes = 0;  // 0: any size
  uint64_t written = 0;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* target_ptr) {
  DownloadTarget* target = static_cast<DownloadTarget*>(target_ptr);
  if (target->max_bytes != 0 && target->written + size * count > target->max_bytes) {
    target->failed = true;
    return 0;  // over the cap: libcurl aborts
  }
  target->written += size * count;
  if (target->file == nullptr) {
    target->file = fopen(target->path, "wb");
    if (target->file == nullptr) {
      target->failed = true;
      return 0;  // less than offered: libcurl aborts
    }
  }
  const size_t written = fwrite(data, size, count, target->file);
  if (written != count) target->failed = true;
  return written * size;
}

// Ends a download: closes the file; after a failure removes what was
// written, after a success makes sure the (possibly empty) file exists.
bool FinishDownload(DownloadTarget& target, bool ok) {
  if (target.file != nullptr && fclose(target.file) != 0) ok = false;
  const bool opened = target.file != nullptr;
  target.file = nullptr;
  if (!ok) {
    if (opened) remove(target.path);
    return false;
  }
  if (!opened) {  // an empty file sends no block
    FILE* empty = fopen(target.path, "wb");
    if (empty == nullptr) return false;
    fclose(empty);
  }
  return true;
}

}  // namespace

// One running transfer with a context.
struct CFtpCmdTool::Transfer {
  uintptr_t handle = 0;
  uintptr_t wnd = 0;
  bool upload = false;
  std::atomic<bool> cancel{false};
};

namespace {

// A plain download's progress: nothing to report, only the caller's cancel.
int CancelProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(data)->load() ? 1 : 0;
}

int TransferProgress(void* data, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
  auto* transfer = static_cast<CFtpCmdTool::Transfer*>(data);
  PD_LOG_INFO("dltotal:%f dlnow:%f ultotal:%f ulnow:%f", static_cast<double>(dltotal),
              static_cast<double>(dlnow), static_cast<double>(ultotal), static_cast<double>(ulnow));
  const int percent = transfer->upload ? ftp::ProgressPercent(ulnow, ultotal) : ftp::ProgressPercent(dlnow, dltotal);
  PostWindowMessage(transfer->wnd, msg::kFtpProgress, transfer->handle, percent);
  return transfer->cancel.load() ? 1 : 0;
}

}  // namespace

CFtpCmdTool* CFtpCmdTool::Instance() {
  CFtpCmdTool* instance = g_instance.load();
  if (instance != nullptr) return instance;
  std::lock_guard<std::mutex> hold(g_instance_lock);
  if (g_instance.load() == nullptr) g_instance.store(new CFtpCmdTool());
  return g_instance.load();
}

void CFtpCmdTool::Release() {
  std::lock_guard<std::mutex> hold(g_instance_lock);
  delete g_instance.exchange(nullptr);
}

CFtpCmdTool::CFtpCmdTool() = default;

CFtpCmdTool::~CFtpCmdTool() {
  if (curl_ready_) curl_library::GlobalCleanup();
}

bool CFtpCmdTool::CurlReady() {
  // libcurl is opened and set up by the first transfer, not at start.
  std::call_once(curl_once_, [this] { curl_ready_ = curl_library::GlobalInit(CURL_GLOBAL_ALL) == CURLE_OK; });
  return curl_ready_;
}

void CFtpCmdTool::SetHost(const std::string& host, const std::string& login, int port) {
  std::lock_guard<std::mutex> hold(lock_);
  base_url_ = (host + ":" + std::to_string(port) + "/").substr(0, 1023);
  login_ = login.substr(0, 1023);
}

std::string CFtpCmdTool::GetBaseUrl() const {
  std::lock_guard<std::mutex> hold(lock_);
  return base_url_;
}

std::shared_ptr<CFtpCmdTool::Transfer> CFtpCmdTool::BeginTransfer(FtpTransferContext* context, bool upload) {
  auto transfer = std::make_shared<Transfer>();
  transfer->upload = upload;
  transfer->wnd = context->wnd;
  std::lock_guard<std::mutex> hold(lock_);
  transfer->handle = next_handle_++;
  transfers_[transfer->handle] = transfer;
  context->handle = transfer->handle;
  return transfer;
}

void CFtpCmdTool::EndTransfer(const std::shared_ptr<Transfer>& transfer) {
  if (transfer == nullptr) return;
  std::lock_guard<std::mutex> hold(lock_);
  transfers_.erase(transfer->handle);
}

bool CFtpCmdTool::Pause(uintptr_t handle) {
  std::shared_ptr<Transfer> transfer;
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = transfers_.find(handle);
    if (it != transfers_.end()) transfer = it->second;
  }
  if (transfer != nullptr) transfer->cancel.store(true);
  PD_LOG_INFO("FTP_Pause result:%d", transfer != nullptr ? 0 : 1);
  return transfer != nullptr;
}

bool CFtpCmdTool::UploadFile(const char* remote, const char* local, FtpTransferContext* context) {
  if (remote == nullptr || local == nullptr || !ftp::IsSafeRemotePath(remote)) return false;
  struct stat info;
  if (stat(local, &info) != 0) {
    PD_LOG_ERROR("Couldnt open '%s': %s", local, strerror(errno));
    return false;
  }
  FILE* file = fopen(local, "rb");
  if (file == nullptr) return false;

  const std::string url = GetBaseUrl() + ftp::EncodeRemotePath(remote);
  std::string login;
  {
    std::lock_guard<std::mutex> hold(lock_);
    login = login_;
  }
  bool result = false;
  std::shared_ptr<Transfer> transfer;
  CURL* curl = CurlReady() ? curl_library::EasyInit() : nullptr;
  if (curl == nullptr) {
    PD_LOG_ERROR("curl_easy_init failed Ftphost_url=%s local_path=%s", url.c_str(), local);
  } else {
    SetCommonOptions(curl);
    curl_library::EasySetopt(curl, CURLOPT_READFUNCTION, ReadFromFile);
    curl_library::EasySetopt(curl, CURLOPT_URL, url.c_str());
    curl_library::EasySetopt(curl, CURLOPT_USERPWD, login.c_str());
    curl_library::EasySetopt(curl, CURLOPT_READDATA, file);
    curl_library::EasySetopt(curl, CURLOPT_UPLOAD, 1L);
    curl_library::EasySetopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
    curl_library::EasySetopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, 1L);
    if (context != nullptr) {
      transfer = BeginTransfer(context, true);
      curl_library::EasySetopt(curl, CURLOPT_NOPROGRESS, 0L);
      curl_library::EasySetopt(curl, CURLOPT_XFERINFOFUNCTION, TransferProgress);
      curl_library::EasySetopt(curl, CURLOPT_XFERINFODATA, transfer.get());
    }
    CURLcode code = curl_library::EasyPerform(curl);
    result = code == CURLE_OK;
    if (!result) {
      PD_LOG_ERROR("curl_easy_perform() failed=%s Ftphost_url=%s local_path=%s", curl_library::EasyStrerror(code),
                   url.c_str(), local);
    }
    curl_library::EasyCleanup(curl);
  }
  fclose(file);
  if (transfer != nullptr && transfer->cancel.load()) {
    result = false;
    DeleteFile(remote);  // no half file stays on the phone
  }
  EndTransfer(transfer);
  PD_LOG_INFO("curl upload over");
  return result;
}

bool CFtpCmdTool::DownloadFileWithProgress(const char* remote, const char* local, FtpTransferContext* context) {
  if (remote == nullptr || local == nullptr || !ftp::IsSafeRemotePath(remote)) return false;
  const std::string url = GetBaseUrl() + ftp::EncodeRemotePath(remote);
  std::string login;
  {
    std::lock_guard<std::mutex> hold(lock_);
    login = login_;
  }
  DownloadTarget target;
  target.path = local;
  bool result = false;
  std::shared_ptr<Transfer> transfer;
  CURL* curl = CurlReady() ? curl_library::EasyInit() : nullptr;
  if (curl == nullptr) {
    PD_LOG_ERROR("curl_easy_init failed ftp_path=%s local_path=%s\r\n", url.c_str(), local);
  } else {
    SetCommonOptions(curl);
    curl_library::EasySetopt(curl, CURLOPT_URL, url.c_str());
    curl_library::EasySetopt(curl, CURLOPT_USERPWD, login.c_str());
    curl_library::EasySetopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_library::EasySetopt(curl, CURLOPT_WRITEDATA, &target);
    if (context != nullptr) {
      transfer = BeginTransfer(context, false);
      curl_library::EasySetopt(curl, CURLOPT_NOPROGRESS, 0L);
      curl_library::EasySetopt(curl, CURLOPT_XFERINFOFUNCTION, TransferProgress);
      curl_library::EasySetopt(curl, CURLOPT_XFERINFODATA, transfer.get());
    }
    CURLcode code = curl_library::EasyPerform(curl);
    result = code == CURLE_OK && !target.failed;
    if (!result) {
      PD_LOG_ERROR("curl_easy_perform() failed=%s ftp_path=%s local_path=%s\r\n", curl_library::EasyStrerror(code),
                   url.c_str(), local);
    }
    curl_library::EasyCleanup(curl);
  }
  PD_LOG_INFO("curl download over\r\n");
  if (transfer != nullptr && transfer->cancel.load()) result = false;
  result = FinishDownload(target, result);
  EndTransfer(transfer);
  return result;
}

bool CFtpCmdTool::DownloadFile(const char* url, const char* local, const DownloadLimits& limits) {
  if (url == nullptr || local == nullptr) return false;
  if (!ftp::IsAllowedDownloadUrl(url)) {
    PD_LOG_ERROR("curl_easy_perform() failed=%s ftp_path=%s local_path=%s", "unsupported scheme", url, local);
    return false;
  }
  DownloadTarget target;
  target.path = local;
  target.max_bytes = limits.max_bytes;
  bool result = false;
  CURL* curl = CurlReady() ? curl_library::EasyInit() : nullptr;
  if (curl != nullptr) {
    SetCommonOptions(curl);
    if (limits.max_bytes != 0) {
      curl_library::EasySetopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_bytes));
    }
    if (limits.deadline_s > 0) curl_library::EasySetopt(curl, CURLOPT_TIMEOUT, static_cast<long>(limits.deadline_s));
    if (limits.cancel != nullptr) {
      curl_library::EasySetopt(curl, CURLOPT_NOPROGRESS, 0L);
      curl_library::EasySetopt(curl, CURLOPT_XFERINFOFUNCTION, CancelProgress);
      curl_library::EasySetopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(limits.cancel));
    }
    curl_library::EasySetopt(curl, CURLOPT_URL, url);
    curl_library::EasySetopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_library::EasySetopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    curl_library::EasySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_library::EasySetopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_library::EasySetopt(curl, CURLOPT_FAILONERROR, 1L);  // an error page is no file
    curl_library::EasySetopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_library::EasySetopt(curl, CURLOPT_WRITEDATA, &target);
    CURLcode code = curl_library::EasyPerform(curl);
    result = code == CURLE_OK && !target.failed;
    if (!result) {
      PD_LOG_ERROR("curl_easy_perform() failed=%s ftp_path=%s local_path=%s", curl_library::EasyStrerror(code), url,
                   local);
    }
    curl_library::EasyCleanup(curl);
  } else {
    PD_LOG_ERROR("curl_easy_init failed ftp_path=%s local_path=%s", url, local);
  }
  PD_LOG_INFO("curl download over");
  return FinishDownload(target, result);
}

bool CFtpCmdTool::DeleteFile(const char* remote) {
  if (remote == nullptr || !ftp::IsSafeRemotePath(remote)) return false;
  std::string url, login;
  {
    std::lock_guard<std::mutex> hold(lock_);
    url = base_url_;
    login = login_;
  }
  CURL* curl = CurlReady() ? curl_library::EasyInit() : nullptr;
  if (curl == nullptr) return false;
  const std::string command = std::string("DELE ") + remote;
  curl_slist* quote = curl_library::SlistAppend(nullptr, command.c_str());
  SetCommonOptions(curl);
  curl_library::EasySetopt(curl, CURLOPT_URL, url.c_str());
  curl_library::EasySetopt(curl, CURLOPT_USERPWD, login.c_str());
  curl_library::EasySetopt(curl, CURLOPT_QUOTE, quote);
  curl_library::EasySetopt(curl, CURLOPT_NOBODY, 1L);  // no listing of the folder after the command
  CURLcode code = curl_library::EasyPerform(curl);
  curl_library::SlistFreeAll(quote);
  curl_library::EasyCleanup(curl);
  if (code != CURLE_OK) {
    PD_LOG_ERROR("curl_easy_perform() failed=%s file_path=%s ", curl_library::EasyStrerror(code), remote);
    return false;
  }
  PD_LOG_INFO("curl deleteFile over");
  return true;
}
