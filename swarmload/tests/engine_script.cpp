// libxldl_script.so: a scripted stand-in of the download engine for the
// swarmload tests. Tasks do nothing by themselves: the test sets each
// task's state, and reads back the calls made and the records passed.
// Threading: every entry point takes one mutex.
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "xldl.h"

#define SCRIPT_API extern "C" __attribute__((visibility("default")))

namespace {

struct ScriptTask {
  XlTaskParam block;
  int32_t state = 0;
  int32_t fail_code = 0;
  std::u16string name;
  uint64_t total = 0;
  uint64_t downloaded = 0;
  uint32_t speed = 0;
};

std::mutex g_mutex;
std::map<XlTaskHandle, ScriptTask> g_tasks;
XlTaskHandle g_next = 1;
std::string g_calls;
int g_init_result = 1;
int g_start_result = 1;
int64_t g_known_size = -1;
XlProxyRecord g_proxy;
void (*g_query_hook)() = nullptr;

void Note(const std::string& call) { g_calls += call + ";"; }

}  // namespace

SCRIPT_API void EngineScript_Reset() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_tasks.clear();
  g_calls.clear();
  g_init_result = 1;
  g_start_result = 1;
  g_known_size = -1;
  std::memset(&g_proxy, 0, sizeof g_proxy);
  g_query_hook = nullptr;
}

SCRIPT_API void EngineScript_SetInitResult(int result) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_init_result = result;
}

SCRIPT_API void EngineScript_SetKnownSize(int64_t size) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_known_size = size;
}

SCRIPT_API void EngineScript_SetState(XlTaskHandle handle, int32_t state, int32_t fail_code, const char16_t* name,
                                      uint64_t total, uint64_t downloaded, uint32_t speed) {
  std::lock_guard<std::mutex> lock(g_mutex);
  ScriptTask& task = g_tasks[handle];
  task.state = state;
  task.fail_code = fail_code;
  task.name = name != nullptr ? name : u"";
  task.total = total;
  task.downloaded = downloaded;
  task.speed = speed;
}

// Called once, from inside the next XL_QueryTaskInfoEx (without the lock).
SCRIPT_API void EngineScript_SetQueryHook(void (*hook)()) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_query_hook = hook;
}

SCRIPT_API XlTaskHandle EngineScript_LastHandle() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_next - 1;
}

SCRIPT_API const char* EngineScript_Calls() {
  static std::string copy;
  std::lock_guard<std::mutex> lock(g_mutex);
  copy = g_calls;
  return copy.c_str();
}

// A copy of the block the task was created from (zero-filled when unknown).
SCRIPT_API void EngineScript_Block(XlTaskHandle handle, XlTaskParam* out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const auto it = g_tasks.find(handle);
  if (it == g_tasks.end()) {
    std::memset(out, 0, sizeof *out);
  } else {
    std::memcpy(out, &it->second.block, sizeof *out);
  }
}

SCRIPT_API void EngineScript_LastProxy(XlProxyRecord* out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::memcpy(out, &g_proxy, sizeof *out);
}

XLDL_API int XL_Init(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("Init");
  return g_init_result;
}

XLDL_API int XL_UnInit(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("UnInit");
  return 1;
}

XLDL_API XlTaskHandle XL_CreateTask(const XlTaskParam* param) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const XlTaskHandle handle = g_next++;
  std::memcpy(&g_tasks[handle].block, param, sizeof(XlTaskParam));
  Note("Create(" + std::to_string(handle) + ")");
  return handle;
}

XLDL_API int XL_DeleteTask(XlTaskHandle handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("Delete(" + std::to_string(handle) + ")");
  return g_tasks.erase(handle) > 0 ? 1 : 0;
}

XLDL_API int XL_StartTask(XlTaskHandle handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("Start(" + std::to_string(handle) + ")");
  return g_start_result;
}

XLDL_API int XL_StopTask(XlTaskHandle handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("Stop(" + std::to_string(handle) + ")");
  return g_tasks.count(handle) > 0 ? 7 : 0;
}

XLDL_API int XL_QueryTaskInfo(XlTaskHandle handle, XlTaskInfo* info) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const auto it = g_tasks.find(handle);
  if (it == g_tasks.end()) return 0;
  info->state = it->second.state;
  info->fail_code = it->second.fail_code;
  char16_t name[260] = {0};
  std::memcpy(name, it->second.name.data(), it->second.name.size() * sizeof(char16_t));
  std::memcpy(reinterpret_cast<char*>(info) + offsetof(XlTaskInfo, file_name), name, sizeof name);
  info->total_size = it->second.total;
  info->downloaded_size = it->second.downloaded;
  info->speed = it->second.speed;
  return 1;
}

XLDL_API int XL_QueryTaskInfoEx(XlTaskHandle handle, XlTaskInfo* info) {
  void (*hook)() = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(hook, g_query_hook);
  }
  if (hook != nullptr) hook();
  return XL_QueryTaskInfo(handle, info);
}

XLDL_API int XL_SetProxy(const XlProxyRecord* proxy) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("SetProxy");
  std::memcpy(&g_proxy, proxy, sizeof g_proxy);
  return 1;
}

XLDL_API int XL_SetSpeedLimit(int32_t) { return 1; }

XLDL_API int XL_DelTempFile(const XlTaskParam*) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("DelTempFile");
  return 1;
}

XLDL_API int XL_SetUserAgent(const char16_t*) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Note("SetUserAgent");
  return 1;
}

XLDL_API int XL_ParseThunderPrivateUrl(const char16_t*, char16_t*, int32_t) { return 0; }
XLDL_API int XL_Determine3GNetType(void) { return 0; }

XLDL_API int XL_GetFileSizeWithUrl(const char16_t*, int64_t* size) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_known_size < 0) return 0;
  *size = g_known_size;
  return 1;
}

XLDL_API int XL_SetUploadSpeedLimit(int32_t, int32_t) { return 1; }
