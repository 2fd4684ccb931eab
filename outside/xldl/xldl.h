// libxldl.so: the download engine that swarmload binds by name. HTTP and
// HTTPS downloads over libcurl, one worker thread per running task,
// resumable across stops and restarts of the process.
//
// A task downloads into "<folder>/<name>.td" and keeps beside it the resume
// record "<name>.td.cfg" (URL, total size, the server's validator). When the
// task is started again the transfer goes on from the end of the ".td" file
// with "Range" and "If-Range"; a server that answers 200 instead of 206 has
// changed the file, and the download starts over from byte 0. A finished
// download is renamed to "<folder>/<name>" and its resume record deleted.
//
// What an answer announces binds it: a body beyond its Content-Length (also
// when chunked coding comes with one) or a 206 other than the part asked
// for fails the task and drops its part. Every download leaves a floor of
// free space on its disk (2% of the filesystem, at most 64 MiB;
// $PHONEDECK_XLDL_FREE_FLOOR bytes when set): a task that would go below it
// fails with the disk-full code, before its request when the disk is
// already there or the announced length does not fit.
//
// All texts crossing this boundary are UTF-16 (char16_t); records below are
// exchange formats with fixed layouts (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

#define XLDL_API extern "C" __attribute__((visibility("default")))

// The task parameter block handed to XL_CreateTask (26,564 bytes, zero-filled
// by the caller, then filled). The engine reads the URL, the file name and
// the save folder; the numbered fields are passed through and mean nothing
// here.
struct XlTaskParam {
  uint32_t head;
  char16_t url[2084];  // zero-terminated
  uint8_t gap1[12360];
  char16_t file_name[260];  // empty: the name comes from the server or the URL
  uint8_t gap2[520];
  char16_t save_folder[260];  // with or without a trailing separator
  uint8_t gap3[4];
  uint32_t field_18096;
  uint8_t gap4[256];
  uint32_t field_18356;
  uint32_t field_18360;
  uint32_t field_18364;
  uint32_t field_18368;
  uint8_t tail[8192];
};
static_assert(sizeof(XlTaskParam) == 26564, "task parameter block size");
static_assert(offsetof(XlTaskParam, url) == 4, "url offset");
static_assert(offsetof(XlTaskParam, file_name) == 16532, "file name offset");
static_assert(offsetof(XlTaskParam, save_folder) == 17572, "save folder offset");
static_assert(offsetof(XlTaskParam, field_18096) == 18096, "field offset");
static_assert(offsetof(XlTaskParam, field_18356) == 18356, "field offset");
static_assert(offsetof(XlTaskParam, field_18368) == 18368, "field offset");

// Task states reported in XlTaskInfo::state.
enum XlTaskState : int32_t {
  kXlStateIdle = 0,      // created, not started
  kXlStateFailed = 1,    // see the fail code
  kXlStateStopped = 2,   // stopped by XL_StopTask
  kXlStateRunning = 3,   // downloading (or waiting to try again)
  kXlStateFinished = 4,  // renamed into place
};

// Fail codes reported with kXlStateFailed. The network codes (5, 6, 67) are
// worth one more try by the caller; the others are not.
enum XlFailCode : int32_t {
  kXlFailBadUrl = 2,      // not an http(s) URL, or no usable file name
  kXlFailFile = 3,        // the file cannot be written (disk full or at its floor, no access)
  kXlFailNetwork = 5,     // no connection, time-out, reset, after the engine's own tries
  kXlFailCut = 6,         // the body ended early, after the engine's own tries
  kXlFailHttp = 8,        // the server refused the request (HTTP 4xx)
  kXlFailServer = 67,     // the server failed (HTTP 5xx, a body or range other than it announced or was asked)
};

// The task-information record (1,429 bytes, no gaps between fields) filled
// by XL_QueryTaskInfo and XL_QueryTaskInfoEx. Both fill every field below.
struct __attribute__((packed)) XlTaskInfo {
  int32_t state;            // XlTaskState
  int32_t fail_code;        // XlFailCode with kXlStateFailed, else 0
  char16_t file_name[260];  // the file's name in its folder (zero-terminated)
  uint8_t gap1[520];
  uint64_t total_size;       // 0 while unknown
  uint64_t downloaded_size;  // bytes on disk, resumed ones included
  float value_1064;
  uint8_t gap2[84];
  uint32_t speed;  // bytes per second over the last two seconds
  uint8_t gap3[8];
  uint8_t byte_1164;
  float value_1165;
  uint8_t tail[260];
};
static_assert(sizeof(XlTaskInfo) == 1429, "task information size");
static_assert(offsetof(XlTaskInfo, file_name) == 8, "file name offset");
static_assert(offsetof(XlTaskInfo, total_size) == 1048, "total offset");
static_assert(offsetof(XlTaskInfo, downloaded_size) == 1056, "downloaded offset");
static_assert(offsetof(XlTaskInfo, speed) == 1152, "speed offset");
static_assert(offsetof(XlTaskInfo, value_1165) == 1165, "float offset");

// The proxy record handed to XL_SetProxy (8,412 bytes).
struct XlProxyRecord {
  uint32_t direct;      // 1: no proxy, whatever the other fields say
  uint32_t flag;        // passed through
  uint32_t type;        // 1 HTTP, 2 SOCKS4, 3 SOCKS5 (others: no proxy)
  uint32_t always_one;  // passed through
  char16_t host[2048];
  uint32_t port;
  char16_t user[50];
  char16_t password[50];
  char16_t domain[2048];  // when given, the user is sent as "domain\user"
};
static_assert(sizeof(XlProxyRecord) == 8412, "proxy record size");
static_assert(offsetof(XlProxyRecord, host) == 16, "host offset");
static_assert(offsetof(XlProxyRecord, port) == 4112, "port offset");
static_assert(offsetof(XlProxyRecord, user) == 4116, "user offset");
static_assert(offsetof(XlProxyRecord, password) == 4216, "password offset");
static_assert(offsetof(XlProxyRecord, domain) == 4316, "domain offset");

// Task handles are nonzero; 0 means "no task".
using XlTaskHandle = uintptr_t;

// Starts the engine: 1. Later calls also answer 1.
XLDL_API int XL_Init(void);
// Stops every task, joins its worker and forgets it; 1.
XLDL_API int XL_UnInit(void);
// A new task from the block (copied; the block may go away afterwards):
// its handle, or 0 when the URL or the folder is empty or too long.
XLDL_API XlTaskHandle XL_CreateTask(const XlTaskParam* param);
// Stops the task and forgets it; its ".td" and ".td.cfg" stay for a later
// resume. 1, or 0 for an unknown handle.
XLDL_API int XL_DeleteTask(XlTaskHandle task);
// Starts (or restarts after a stop or a failure) the task's worker: 1, or
// 0 for an unknown handle or a task already running or finished.
XLDL_API int XL_StartTask(XlTaskHandle task);
// Stops the task's worker and waits for it; the state becomes 2 unless the
// task had already finished or failed. 1, or 0 for an unknown handle.
XLDL_API int XL_StopTask(XlTaskHandle task);
// Fill `info` (left as it is for an unknown handle, then 0); 1.
XLDL_API int XL_QueryTaskInfo(XlTaskHandle task, XlTaskInfo* info);
XLDL_API int XL_QueryTaskInfoEx(XlTaskHandle task, XlTaskInfo* info);
// Sets the proxy of the transfers started from now on: 1, 0 for null.
XLDL_API int XL_SetProxy(const XlProxyRecord* proxy);
// Caps each transfer started from now on, in KiB/s (0 or less: no cap); 1.
XLDL_API int XL_SetSpeedLimit(int32_t kib_per_second);
// Deletes the block's ".td" and ".td.cfg" (found by the resume record's URL
// when the block gives no file name): 1 when none is left, 0 otherwise.
XLDL_API int XL_DelTempFile(const XlTaskParam* param);
// The user agent of the transfers started from now on (at most 99 units
// read): 1, 0 for null.
XLDL_API int XL_SetUserAgent(const char16_t* user_agent);
// The engine knows no private link form besides plain http(s) URLs: 0.
XLDL_API int XL_ParseThunderPrivateUrl(const char16_t* url, char16_t* real_url, int32_t capacity);
// The kind of mobile network the machine is on: 0, none known here.
XLDL_API int XL_Determine3GNetType(void);
// The total size last learnt for `url` (kept after its task is deleted):
// 1 with *size set, 0 when unknown.
XLDL_API int XL_GetFileSizeWithUrl(const char16_t* url, int64_t* size);
// The engine uploads nothing: any limit holds; 1.
XLDL_API int XL_SetUploadSpeedLimit(int32_t kib_per_second, int32_t reserved);

// The entry points as a binder looks them up by name.
using PfnXL_Init = int (*)();
using PfnXL_UnInit = int (*)();
using PfnXL_CreateTask = XlTaskHandle (*)(const XlTaskParam*);
using PfnXL_DeleteTask = int (*)(XlTaskHandle);
using PfnXL_StartTask = int (*)(XlTaskHandle);
using PfnXL_StopTask = int (*)(XlTaskHandle);
using PfnXL_QueryTaskInfo = int (*)(XlTaskHandle, XlTaskInfo*);
using PfnXL_QueryTaskInfoEx = int (*)(XlTaskHandle, XlTaskInfo*);
using PfnXL_SetProxy = int (*)(const XlProxyRecord*);
using PfnXL_SetSpeedLimit = int (*)(int32_t);
using PfnXL_DelTempFile = int (*)(const XlTaskParam*);
using PfnXL_SetUserAgent = int (*)(const char16_t*);
using PfnXL_ParseThunderPrivateUrl = int (*)(const char16_t*, char16_t*, int32_t);
using PfnXL_Determine3GNetType = int (*)();
using PfnXL_GetFileSizeWithUrl = int (*)(const char16_t*, int64_t*);
using PfnXL_SetUploadSpeedLimit = int (*)(int32_t, int32_t);
