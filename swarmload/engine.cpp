#include "engine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "foundation/base/code_page.h"
#include "foundation/base/swarm_log.h"
#include "module_state.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace swarmload {

namespace {

constexpr char16_t kUserAgent[] =
    u"Mozilla/5.0 (Windows NT 5.1) AppleWebKit/537.1 (KHTML, like Gecko) Chrome/21.0.1180.89 Safari/537.1";

// Guarded by the engine lock: the module, its entry points and the started flag.
void* g_module = nullptr;
EngineFunctions g_engine;
bool g_started = false;
XlProxyRecord g_proxy{};  // guarded by the engine lock

// Guarded by the task lock, each access on its own.
std::map<std::string, TaskRecord> g_tasks;

template <typename Fn>
void Bind(Fn* slot, const char* name) {
  *slot = reinterpret_cast<Fn>(platform::FindSymbol(g_module, name));
}

bool LoadEngineLibrary(const std::string& folder) {
  std::string error;
  g_module = platform::LoadLibraryFrom(folder, "xldl.dll", &error);
  if (g_module == nullptr) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "can not load xldl.dll (%s)", error.c_str());
    return false;
  }
  Bind(&g_engine.init, "XL_Init");
  Bind(&g_engine.uninit, "XL_UnInit");
  Bind(&g_engine.create_task, "XL_CreateTask");
  Bind(&g_engine.delete_task, "XL_DeleteTask");
  Bind(&g_engine.start_task, "XL_StartTask");
  Bind(&g_engine.stop_task, "XL_StopTask");
  Bind(&g_engine.query_info, "XL_QueryTaskInfo");
  Bind(&g_engine.query_info_ex, "XL_QueryTaskInfoEx");
  Bind(&g_engine.set_proxy, "XL_SetProxy");
  Bind(&g_engine.set_speed_limit, "XL_SetSpeedLimit");
  Bind(&g_engine.del_temp_file, "XL_DelTempFile");
  Bind(&g_engine.set_user_agent, "XL_SetUserAgent");
  Bind(&g_engine.parse_private_url, "XL_ParseThunderPrivateUrl");
  Bind(&g_engine.determine_net_type, "XL_Determine3GNetType");
  Bind(&g_engine.get_file_size_with_url, "XL_GetFileSizeWithUrl");
  Bind(&g_engine.set_upload_speed_limit, "XL_SetUploadSpeedLimit");
  return true;
}

}  // namespace

EngineStart EnsureEngineStarted() {
  base_MutexGuard guard(&EngineLock());
  if (g_module == nullptr && !LoadEngineLibrary(platform::ProgramDirectory())) return EngineStart::kMissing;
  if (!g_started) {
    if (g_engine.init != nullptr && g_engine.init() > 0) g_started = true;
    if (g_engine.set_proxy != nullptr) {
      auto direct = std::make_unique<XlProxyRecord>();
      std::memset(direct.get(), 0, sizeof(XlProxyRecord));
      direct->direct = 1;
      g_engine.set_proxy(direct.get());
    }
    if (g_engine.set_user_agent != nullptr) {
      char16_t agent[100] = {0};
      std::memcpy(agent, kUserAgent, sizeof kUserAgent);
      g_engine.set_user_agent(agent);
    }
  }
  return g_started ? EngineStart::kStarted : EngineStart::kNotStarted;
}

const EngineFunctions& Engine() { return g_engine; }

void UnloadEngine() {
  base_MutexGuard guard(&EngineLock());
  if (g_started && g_engine.uninit != nullptr) {
    g_started = false;
    g_engine.uninit();
  }
  g_started = false;
  platform::FreeLibrary(g_module);
  g_module = nullptr;
  g_engine = EngineFunctions();
}

XlProxyRecord& StoredProxy() { return g_proxy; }

bool SaveTaskRecord(const std::string& url, XlTaskHandle handle, std::shared_ptr<XlTaskParam> block,
                    int32_t retries) {
  // The save folder gains one trailing separator (unless it has one).
  size_t length = 0;
  while (length < 259 && block->save_folder[length] != 0) ++length;
  if (length > 0 && length < 259 && block->save_folder[length - 1] != u'/' && block->save_folder[length - 1] != u'\\') {
    block->save_folder[length] = u'/';
    block->save_folder[length + 1] = 0;
  }
  base_MutexGuard guard(&TaskLock());
  return g_tasks.emplace(url, TaskRecord{handle, std::move(block), retries}).second;
}

XlTaskHandle FindTaskHandle(const std::string& url) {
  base_MutexGuard guard(&TaskLock());
  const auto it = g_tasks.find(url);
  return it == g_tasks.end() ? 0 : it->second.handle;
}

std::optional<TaskRecord> FindTaskRecord(const std::string& url) {
  base_MutexGuard guard(&TaskLock());
  const auto it = g_tasks.find(url);
  if (it == g_tasks.end()) return std::nullopt;
  return it->second;
}

std::optional<TaskRecord> TakeTaskRecord(const std::string& url, XlTaskHandle handle) {
  base_MutexGuard guard(&TaskLock());
  const auto it = g_tasks.find(url);
  if (it == g_tasks.end() || (handle != 0 && it->second.handle != handle)) return std::nullopt;
  TaskRecord record = std::move(it->second);
  g_tasks.erase(it);
  return record;
}

void RemoveTask(const std::string& url) { TakeTaskRecord(url); }

void ClearTasks() {
  base_MutexGuard guard(&TaskLock());
  g_tasks.clear();
}

bool CreateEngineTask(const std::string& url, std::shared_ptr<XlTaskParam> block, int32_t retries) {
  const EngineFunctions& engine = Engine();
  const XlTaskHandle handle = engine.create_task != nullptr ? engine.create_task(block.get()) : 0;
  if (handle == 0) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "Create down task(%s) failed", url.c_str());
    return false;
  }
  PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogInfo, "Create down task(%s) succ", url.c_str());
  if (!SaveTaskRecord(url, handle, std::move(block), retries)) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "save down task(%s) failed", url.c_str());
  }
  return engine.start_task != nullptr && engine.start_task(handle) > 0;
}

void ClearTaskInfo(XlTaskInfo* info) {
  std::memset(static_cast<void*>(info), 0, sizeof(XlTaskInfo));
  info->state = kXlStateStopped;
  info->fail_code = 0;
  info->value_1064 = 0.0f;
  info->byte_1164 = 0;
  info->value_1165 = 0.0f;
}

void DeleteStaleTempFiles(const std::u16string& folder, const std::u16string& file_name) {
  const size_t dot = file_name.rfind(u'.');
  const std::u16string stem = dot == std::u16string::npos ? file_name : file_name.substr(0, dot);
  const std::u16string ext = dot == std::u16string::npos ? std::u16string() : file_name.substr(dot);
  std::string base = WStringToAnsi(folder);
  if (!base.empty() && base.back() != '/') base += '/';
  for (int n = 1; n <= 99; ++n) {
    const std::string td = base + WStringToAnsi(stem) + "(" + std::to_string(n) + ")" + WStringToAnsi(ext) + ".td";
    ::unlink(td.c_str());
    ::unlink((td + ".cfg").c_str());
  }
}

uint64_t GetLocalFileSize(const std::u16string& path) {
  struct stat st {};
  if (path.empty() || ::stat(WStringToAnsi(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace swarmload
