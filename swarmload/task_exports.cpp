// The task exports: creation, status with the automatic retry, the check of
// a finished file, stop, delete and the per-task queries.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "engine.h"
#include "foundation/base/code_page.h"
#include "foundation/base/swarm_log.h"
#include "host_services.h"
#include "md5.h"
#include "module_state.h"
#include "scheme_url.h"
#include "sql_db.h"
#include "swarmload.h"

namespace {

using namespace swarmload;

constexpr size_t kPathUnits = 1024;     // the path buffer, with its NUL
constexpr size_t kUrlUnits = 2084;      // the block's URL field, with its NUL
constexpr size_t kFieldUnits = 260;     // the block's name and folder fields, with their NUL

base::CBaseLog* Log() { return base::CBaseLog::GetInstance(); }

bool IsSchemeLink(const std::u16string& url) { return url.find(u"QEN://") != std::u16string::npos; }

bool IsDirectory(const std::u16string& path) {
  struct stat st {};
  return !path.empty() && ::stat(WStringToAnsi(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::u16string Combine(const std::u16string& folder, const std::u16string& name) {
  if (!folder.empty() && folder.back() == u'/') return folder + name;
  return folder + u"/" + name;
}

// The folder part of a path (its last component removed) and the rest.
void SplitPath(const std::u16string& path, std::u16string* folder, std::u16string* name) {
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string::npos) {
    folder->clear();
    *name = path;
    return;
  }
  *folder = slash == 0 ? u"/" : path.substr(0, slash);
  *name = path.substr(slash + 1);
}

void CopyField(char16_t* field, const std::u16string& text) {
  std::memcpy(field, text.data(), text.size() * sizeof(char16_t));
}

// The url's task information through `query` (the cleared record when the
// url has no task or the entry point is missing).
XlTaskInfo QueryInfo(XlTaskHandle handle, PfnXL_QueryTaskInfo query) {
  XlTaskInfo info;
  ClearTaskInfo(&info);
  if (handle != 0 && query != nullptr) query(handle, &info);
  return info;
}

std::u16string InfoFileName(const XlTaskInfo& info) {
  char16_t name[260];
  std::memcpy(name, reinterpret_cast<const char*>(&info) + offsetof(XlTaskInfo, file_name), sizeof name);
  name[259] = 0;
  return name;
}

// A 260-unit text field of the block (the folder, the file name), ended
// inside the field whatever it holds.
std::u16string BlockText(const char16_t (&field)[260]) {
  char16_t text[260];
  std::memcpy(text, field, sizeof text);
  text[259] = 0;
  return text;
}

// Compares a finished file with its link's MD5. False (logged and
// reported) only when the file could be hashed and differs.
bool HashMatches(const std::u16string& path, const Resolution& resolution, ReportIdentity* reporter) {
  uint8_t digest[16];
  if (!Md5File(path, digest) || DigestMatches(resolution.expected_hash, digest)) return true;
  const std::u16string computed = Md5ToHex(digest);
  PD_LOG_TO(Log(), base::kLogError, "File hash check error.[%s]", WStringToAnsi(path).c_str());
  PD_LOG_TO(Log(), base::kLogError, "[%s][%s]", WStringToAnsi(resolution.expected_hash).c_str(),
            WStringToAnsi(computed).c_str());
  reporter->SendHashReport(resolution.expected_hash, computed);
  return false;
}

ReportIdentity& CheckReporter() {
  static ReportIdentity identity;
  return identity;
}

ReportIdentity& StatusReporter() {
  static ReportIdentity identity;
  return identity;
}

bool NewTask(const char* url, const char* path) {
  if (url == nullptr || path == nullptr) return false;
  if (EnsureEngineStarted() == EngineStart::kMissing) return false;
  const std::u16string link = AnsiToWString(url);
  std::u16string buffer = AnsiToWString(path);
  if (link.size() >= kUrlUnits || buffer.size() >= kPathUnits) {
    PD_LOG_TO(Log(), base::kLogError, "Create down task(%s) failed: url or path too long", url);
    return false;
  }
  std::u16string task_url = link;
  if (IsSchemeLink(link)) {
    Resolution resolution;
    if (!ResolveSchemeUrl(url, &resolution)) return false;
    if (IsDirectory(buffer)) buffer = Combine(buffer, resolution.file_name);
    task_url = resolution.real_url;
  }
  std::u16string folder, name;
  SplitPath(buffer, &folder, &name);
  // The engine's fields are fixed: texts that do not fit are refused, not cut.
  if (task_url.size() >= kUrlUnits || folder.size() >= kFieldUnits - 1 || name.size() >= kFieldUnits ||
      buffer.size() >= kPathUnits) {
    PD_LOG_TO(Log(), base::kLogError, "Create down task(%s) failed: url, folder or name too long", url);
    return false;
  }
  auto block = std::make_shared<XlTaskParam>();
  std::memset(block.get(), 0, sizeof(XlTaskParam));
  CopyField(block->url, task_url);
  CopyField(block->save_folder, folder);
  if (!name.empty()) CopyField(block->file_name, name);
  block->field_18360 = 5;
  block->field_18368 = 1;

  P2SPStopTask(url);
  P2SPDelTask(url);
  ::unlink(WStringToAnsi(buffer).c_str());
  DeleteStaleTempFiles(folder, name);
  {
    base_MutexGuard guard(&DatabaseLock());
    DownInfoDB().DeleteByUrl(link);
  }
  return CreateEngineTask(url, std::move(block), 0);
}

bool IsRetriedFailCode(int32_t code) { return code == 0 || code == 5 || code == 6 || code == 67; }

}  // namespace

SWARMLOAD_API bool P2SPNewTask(const char* url, const char* path, int) { return NewTask(url, path); }

SWARMLOAD_API bool P2SPRunTaskEx(const char* url, const char* path, int) { return NewTask(url, path); }

SWARMLOAD_API int P2SPStopTask(const char* url) {
  if (url == nullptr) return 0;
  const XlTaskHandle handle = FindTaskHandle(url);
  if (handle == 0) return 0;
  PD_LOG_TO(Log(), base::kLogInfo, "stop and delete down task(%s) ", url);
  const PfnXL_StopTask stop = Engine().stop_task;
  return stop != nullptr ? stop(handle) : 0;
}

SWARMLOAD_API int P2SPDelTask(const char* url) {
  if (url == nullptr) return 0;
  // The record leaves the map first: of two deletions only one reaches the engine.
  const auto record = TakeTaskRecord(url);
  if (!record) return 0;
  PD_LOG_TO(Log(), base::kLogInfo, "delete down task(%s) ", url);
  if (const PfnXL_DeleteTask del = Engine().delete_task) del(record->handle);
  return 1;
}

SWARMLOAD_API int P2SPIsExistTask(const char* url) { return url != nullptr && FindTaskHandle(url) != 0 ? 1 : 0; }

SWARMLOAD_API int P2SPGetTaskStatus(const char* url) {
  if (url == nullptr) return P2SP_STATUS_DONE;
  const XlTaskHandle handle = FindTaskHandle(url);
  if (handle == 0) return P2SP_STATUS_DONE;
  const EngineFunctions& engine = Engine();
  const XlTaskInfo info = QueryInfo(handle, engine.query_info_ex);
  switch (info.state) {
    case kXlStateRunning:
      return P2SP_STATUS_DOWNLOADING;
    case kXlStateStopped: {
      // A task deleted meanwhile by another thread is "no task".
      if (!TakeTaskRecord(url, handle)) return P2SP_STATUS_DONE;
      if (engine.delete_task != nullptr) engine.delete_task(handle);
      return P2SP_STATUS_STOPPED;
    }
    case kXlStateFailed: {
      PD_LOG_TO(Log(), base::kLogInfo, "down task(%s) failcode(%d)", url, info.fail_code);
      const auto record = FindTaskRecord(url);
      if (!IsRetriedFailCode(info.fail_code) || !record || record->handle != handle || record->retries >= 1) {
        return P2SP_STATUS_FAILED;
      }
      PD_LOG_TO(Log(), base::kLogInfo, "retry down task(%s)", url);
      const auto taken = TakeTaskRecord(url, handle);
      if (!taken) return P2SP_STATUS_DONE;
      if (engine.stop_task != nullptr) engine.stop_task(handle);
      if (engine.delete_task != nullptr) engine.delete_task(handle);
      if (engine.del_temp_file != nullptr) engine.del_temp_file(taken->block.get());
      return CreateEngineTask(url, taken->block, taken->retries + 1) ? P2SP_STATUS_DOWNLOADING : P2SP_STATUS_FAILED;
    }
    case kXlStateFinished: {
      const XlTaskInfo detail = QueryInfo(handle, engine.query_info);
      const auto record = TakeTaskRecord(url, handle);
      if (!record) return P2SP_STATUS_DONE;  // deleted meanwhile: nothing to record or check
      if (engine.stop_task != nullptr) engine.stop_task(handle);
      if (engine.delete_task != nullptr) engine.delete_task(handle);
      // An engine that names no file leaves the name the block gave it.
      std::u16string name = InfoFileName(detail);
      if (name.empty()) name = BlockText(record->block->file_name);
      if (name.empty()) {
        PD_LOG_TO(Log(), base::kLogError, "down task(%s) finished without a file name", url);
        return P2SP_STATUS_DONE;
      }
      const std::u16string path = BlockText(record->block->save_folder) + name;
      // The hash is checked before the file is recorded: a corrupt file is never handed out.
      Resolution resolution;
      if (IsSchemeLink(AnsiToWString(url)) && ResolveSchemeUrl(url, &resolution) &&
          !HashMatches(path, resolution, &StatusReporter())) {
        return P2SP_STATUS_BAD_HASH;
      }
      DownInfoDB().UpdateDownLoadInfo(AnsiToWString(url), path, static_cast<int64_t>(GetLocalFileSize(path)));
      return P2SP_STATUS_DONE;
    }
    default:
      return P2SP_STATUS_WAITING;
  }
}

SWARMLOAD_API int P2SPCheckTaskEx(const char* url, int mode, const char* path) {
  if (mode == 1) return 1;
  if (url == nullptr || path == nullptr) return 0;
  const std::u16string link = AnsiToWString(url);
  std::u16string buffer = AnsiToWString(path);
  if (buffer.size() >= kPathUnits) return 0;
  std::u16string task_url = link;
  if (IsSchemeLink(link)) {
    Resolution resolution;
    if (!ResolveSchemeUrl(url, &resolution)) return 0;
    if (IsDirectory(buffer)) buffer = Combine(buffer, resolution.file_name);
    // The file checked is the one the path leads to, folder or not.
    if (!HashMatches(buffer, resolution, &CheckReporter())) return 0;
    task_url = resolution.real_url;
  }
  const uint64_t local_size = GetLocalFileSize(buffer);
  if (local_size == 0) return 0;
  if (EnsureEngineStarted() == EngineStart::kMissing) return 0;
  if (const PfnXL_GetFileSizeWithUrl known = Engine().get_file_size_with_url) {
    int64_t size = 0;
    if (known(task_url.c_str(), &size) != 0 && static_cast<uint64_t>(size) != local_size) return 0;
  }
  return DownInfoDB().UpdateDownLoadInfo(link, buffer, static_cast<int64_t>(local_size)) ? 1 : 0;
}

SWARMLOAD_API int P2SPGetTaskErrorCode(const char* url) {
  if (url == nullptr) return 0;
  const XlTaskInfo info = QueryInfo(FindTaskHandle(url), Engine().query_info);
  return info.state == kXlStateFailed ? info.fail_code : 0;
}

SWARMLOAD_API uint64_t P2SPGetTaskDownloadedSize(const char* url) {
  if (url == nullptr) return 0;
  return QueryInfo(FindTaskHandle(url), Engine().query_info).downloaded_size;
}

SWARMLOAD_API uint64_t P2SPGetTaskFileSize(const char* url) {
  if (url == nullptr) return 0;
  return QueryInfo(FindTaskHandle(url), Engine().query_info).total_size;
}

SWARMLOAD_API int P2SPGetTaskSpeed(const char* url) {
  if (url == nullptr) return 0;
  return static_cast<int>(QueryInfo(FindTaskHandle(url), Engine().query_info).speed);
}

SWARMLOAD_API int P2SPGetTaskFileName(const char* url, char* buffer, int size) {
  if (url == nullptr || buffer == nullptr) return 0;
  CSqlDownInfoDB::Row row;
  if (!DownInfoDB().FindByUrl(url, &row)) return 0;
  const std::string path = WStringToAnsi(row.path);
  const int length = static_cast<int>(path.size());
  if (length <= 0 || length >= size) return 0;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return length;
}
