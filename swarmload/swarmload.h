// libswarmload.so: download tasks keyed by their URL over the download
// engine libxldl.so, the product's "QEN://" links, the task database
// "DownLoadInfo.db" and the MD5 check of finished files. The program loads
// it by name and binds these 36 plain C exports by name.
//
// URLs and paths are narrow UTF-8 texts unless a parameter says UTF-16.
// Exports that the program binds but never needs are fixed stubs; they take
// their arguments as pointer-sized values and answer a constant.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#define SWARMLOAD_EXTERN extern "C"
#else
#define SWARMLOAD_EXTERN
#include <stdbool.h>
#include <uchar.h>
#endif

#define SWARMLOAD_API SWARMLOAD_EXTERN __attribute__((visibility("default")))

// Task status codes of P2SPGetTaskStatus.
enum {
  P2SP_STATUS_WAITING = 2,      // nothing to report yet
  P2SP_STATUS_DOWNLOADING = 4,  // running, or restarted after a failure
  P2SP_STATUS_STOPPED = 5,      // stopped; the task is gone
  P2SP_STATUS_DONE = 6,         // finished and recorded, or no such task
  P2SP_STATUS_FAILED = 7,       // failed; the task stays
  P2SP_STATUS_BAD_HASH = 10,    // finished but its MD5 differs from its link's; not recorded
};

// Fixed stubs.
SWARMLOAD_API int P2SPCheckTask(const char* url, int value);                           // 0
SWARMLOAD_API int P2SPGetAllTaskSpeed(void);                                           // 0
SWARMLOAD_API int P2SPGetAllTaskUrl(uintptr_t a, uintptr_t b);                         // 0
SWARMLOAD_API bool P2SPGetDigest(uintptr_t a, uintptr_t b);                            // false
SWARMLOAD_API bool P2SPGetProperty(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d, uintptr_t e);  // false
SWARMLOAD_API bool P2SPGetServer(uintptr_t a, uintptr_t b);                            // false
SWARMLOAD_API int P2SPGetTaskConnectedPeers(const char* url);                          // 0
SWARMLOAD_API int P2SPGetTaskErrorMsg(const char* url);                                // 0
SWARMLOAD_API int P2SPGetTaskErrorPeers(const char* url);                              // 0
SWARMLOAD_API int P2SPGetTaskSearchPeers(const char* url);                             // 0
SWARMLOAD_API int P2SPGetUploadSpeed(void);                                            // 0
SWARMLOAD_API void P2SPNetWorkStatusCallback(uintptr_t a, uintptr_t b);                // nothing
SWARMLOAD_API bool P2SPRun(void);                                                      // true
SWARMLOAD_API bool P2SPRunTask(const char* url, int type);                             // true
SWARMLOAD_API bool P2SPSetProperty(const char* name, const void* value, int size);     // false, nothing kept
SWARMLOAD_API void P2SPSetServerAddr(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d, uintptr_t e,
                                     uintptr_t f);                                     // nothing
SWARMLOAD_API void P2SPSetTaskType(uintptr_t a, uintptr_t b);                          // nothing
SWARMLOAD_API void P2SPStop(void);                                                     // nothing
SWARMLOAD_API int P2SPTestProxy(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d, uintptr_t e);  // 0

// Counted start: only the first call of a process opens the log, the task
// database in `work_folder`, the kitoracle binding and the download
// session. Always 1.
SWARMLOAD_API int P2SPInit(const char* work_folder);
// Counted close: the call matching the first P2SPInit stops and unloads
// the engine and releases everything. The caller runs no other export
// while it runs.
SWARMLOAD_API void P2SPClose(void);

// Creates (or re-creates) the task of `url`, saving to `path` (for a
// "QEN://" link, `path` may name a folder). False when the task cannot be
// created: the engine is missing, the link does not resolve, or the URL
// (over 2,083 characters), the folder or the name (259 each) is too long.
SWARMLOAD_API bool P2SPNewTask(const char* url, const char* path, int type);
SWARMLOAD_API bool P2SPRunTaskEx(const char* url, const char* path, int type);
// 0 when the url has no task; otherwise the engine's answer to the stop.
SWARMLOAD_API int P2SPStopTask(const char* url);
// 0 when the url has no task; otherwise deletes it and answers 1.
SWARMLOAD_API int P2SPDelTask(const char* url);
// 1 when the url has a task.
SWARMLOAD_API int P2SPIsExistTask(const char* url);
// A P2SP_STATUS_* code; a failed task is restarted once for the engine's
// network fail codes.
SWARMLOAD_API int P2SPGetTaskStatus(const char* url);
// The engine's fail code (XlFailCode) of the url's task when it failed; 0
// when it has no task or has not failed.
SWARMLOAD_API int P2SPGetTaskErrorCode(const char* url);
// From the engine's task information; 0 when the url has no task.
SWARMLOAD_API uint64_t P2SPGetTaskDownloadedSize(const char* url);
SWARMLOAD_API uint64_t P2SPGetTaskFileSize(const char* url);
SWARMLOAD_API int P2SPGetTaskSpeed(const char* url);
// Copies the recorded path of the url's finished file, with its NUL, when
// it fits `size` bytes; its length, else 0 and the buffer untouched.
SWARMLOAD_API int P2SPGetTaskFileName(const char* url, char* buffer, int size);
// mode 1: 1 at once. Other modes: 1 when the finished file (at `path`, or
// inside `path` under the link's name when `path` is a folder) exists, has
// the size the engine learnt and, for a "QEN://" link, its MD5; then it is
// recorded. 0 otherwise.
SWARMLOAD_API int P2SPCheckTaskEx(const char* url, int mode, const char* path);

// Stores the proxy and hands it to the engine. `type` 0: no proxy.
SWARMLOAD_API bool P2SPSetProxy(const char* host, uint16_t port, const char* user, const char* password,
                                const char* domain, uint8_t type, uint8_t flag);
// The stored proxy: each text is copied with its NUL into its buffer when it
// fits the given number of UTF-16 units (else the buffer gets an empty
// text); port and type are stored; `ignored` is not used. The type.
SWARMLOAD_API uint8_t P2SPGetProxy(char16_t* host, int32_t host_units, uint16_t* port, char16_t* user,
                                   int32_t user_units, char16_t* password, int32_t password_units, uint8_t* type,
                                   uintptr_t ignored);

// Plain HTTP(S) GET of `url` into `file` (UTF-16 both); false on a transfer
// error or a status other than 2xx, without leaving a partial file.
SWARMLOAD_API bool P2SPWininetDown(const char16_t* url, const char16_t* file);
