// The outside download engine (libxldl.so, bound by name from the program's
// folder) and the task map from URL text to engine task.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "xldl.h"

namespace swarmload {

// The 16 entry points, in binding order; any may be null.
struct EngineFunctions {
  PfnXL_Init init = nullptr;
  PfnXL_UnInit uninit = nullptr;
  PfnXL_CreateTask create_task = nullptr;
  PfnXL_DeleteTask delete_task = nullptr;
  PfnXL_StartTask start_task = nullptr;
  PfnXL_StopTask stop_task = nullptr;
  PfnXL_QueryTaskInfo query_info = nullptr;
  PfnXL_QueryTaskInfoEx query_info_ex = nullptr;
  PfnXL_SetProxy set_proxy = nullptr;
  PfnXL_SetSpeedLimit set_speed_limit = nullptr;
  PfnXL_DelTempFile del_temp_file = nullptr;
  PfnXL_SetUserAgent set_user_agent = nullptr;
  PfnXL_ParseThunderPrivateUrl parse_private_url = nullptr;
  PfnXL_Determine3GNetType determine_net_type = nullptr;
  PfnXL_GetFileSizeWithUrl get_file_size_with_url = nullptr;
  PfnXL_SetUploadSpeedLimit set_upload_speed_limit = nullptr;
};

enum class EngineStart { kMissing, kNotStarted, kStarted };

// Loads the engine when needed and starts it when not yet started (under
// the engine lock). kMissing when the library cannot be loaded (logged as
// "can not load xldl.dll"; the next call tries again).
EngineStart EnsureEngineStarted();

// The bound entry points (all null while unbound). The binding lives until
// the last close; callers run between a start and that close.
const EngineFunctions& Engine();

// At the last close (engine lock held): XL_UnInit when started, unload.
void UnloadEngine();

// The proxy record last given to P2SPSetProxy.
XlProxyRecord& StoredProxy();

// A task: its engine handle, its parameter block and its retry count.
struct TaskRecord {
  XlTaskHandle handle = 0;
  std::shared_ptr<XlTaskParam> block;
  int32_t retries = 0;
};

// Task map operations, each under the task lock.
bool SaveTaskRecord(const std::string& url, XlTaskHandle handle, std::shared_ptr<XlTaskParam> block,
                    int32_t retries);
XlTaskHandle FindTaskHandle(const std::string& url);
std::optional<TaskRecord> FindTaskRecord(const std::string& url);
// Takes the url's record out of the map; nothing when absent, or when
// `handle` is given (not 0) and the record holds another engine task.
std::optional<TaskRecord> TakeTaskRecord(const std::string& url, XlTaskHandle handle = 0);
void RemoveTask(const std::string& url);
void ClearTasks();

// XL_CreateTask and XL_StartTask for a filled block; logs as the engine's
// caller does. True when the task started.
bool CreateEngineTask(const std::string& url, std::shared_ptr<XlTaskParam> block, int32_t retries);

// A task-information record cleared for a query (state 2, the rest 0).
void ClearTaskInfo(XlTaskInfo* info);

// Deletes "<stem>(n)<ext>.td" and ".td.cfg" for n = 1..99 in `folder`.
void DeleteStaleTempFiles(const std::u16string& folder, const std::u16string& file_name);

// The size of a regular file; 0 when missing.
uint64_t GetLocalFileSize(const std::u16string& path);

}  // namespace swarmload
