// CFtpCmdTool: file transfers to and from the phone through the agent's FTP
// server (127.0.0.1, port 21210 by default, reached through the adb
// forward), and a plain download of an http, https or ftp URL.
//
// Transfers with a context report progress to the context's window as
// message 1292 (wParam the transfer handle, lParam the percentage) and can
// be cancelled one by one: Pause(handle) flags that transfer only, its
// progress callback then aborts it, and its partial file is removed
// (download) or deleted on the phone (upload).
//
// Threading: transfers may run on several threads at once; each owns its
// curl handle. Pause may be called from any thread; it never touches a
// curl handle. SetHost before transfers start (the connection manager).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Bounds of a plain download (DownloadFile). A download past one of them
// fails and leaves no file.
struct DownloadLimits {
  uint64_t max_bytes = 0;  // 0: any size; else a larger body (announced or sent) fails
  int deadline_s = 0;      // 0: none; else the whole transfer, redirects included
  // Set by another thread: the transfer ends within about a second.
  const std::atomic<bool>* cancel = nullptr;
};

// Supplied by the caller of a transfer with progress.
struct FtpTransferContext {
  uintptr_t handle = 0;  // written when the transfer starts; what Pause takes
  uintptr_t wnd = 0;     // receives the progress messages
};

class CFtpCmdTool {
 public:
  static constexpr int kConnectTimeoutS = 30;
  static constexpr int kStallTimeoutS = 60;  // a transfer with no byte for this long fails

  static CFtpCmdTool* Instance();
  static void Release();

  CFtpCmdTool();
  ~CFtpCmdTool();
  CFtpCmdTool(const CFtpCmdTool&) = delete;
  CFtpCmdTool& operator=(const CFtpCmdTool&) = delete;

  // Base URL "<host>:<port>/" (host like "ftp://127.0.0.1"), login "user:password".
  void SetHost(const std::string& host, const std::string& login, int port);
  std::string GetBaseUrl() const;

  // Remote paths are relative to the base URL, UTF-8, unencoded.
  bool UploadFile(const char* remote, const char* local, FtpTransferContext* context);
  bool DownloadFileWithProgress(const char* remote, const char* local, FtpTransferContext* context);
  bool DeleteFile(const char* remote);
  bool DownloadFile(const char* url, const char* local, const DownloadLimits& limits = DownloadLimits());
  // Cancels the running transfer `handle`; false when no such transfer runs.
  bool Pause(uintptr_t handle);

 // One running transfer with a context (the progress callback's data).
  struct Transfer;

 private:
  std::shared_ptr<Transfer> BeginTransfer(FtpTransferContext* context, bool upload);
  void EndTransfer(const std::shared_ptr<Transfer>& transfer);
  // libcurl's global set-up, done once by the first transfer (any thread);
  // false when libcurl cannot be used.
  bool CurlReady();

  std::once_flag curl_once_;
  bool curl_ready_ = false;  // written once under curl_once_
  mutable std::mutex lock_;  // guards the base URL, the login and the transfer table
  std::string base_url_;
  std::string login_;
  std::map<uintptr_t, std::shared_ptr<Transfer>> transfers_;
  uintptr_t next_handle_ = 1;
};
