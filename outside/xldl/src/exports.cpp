// The engine's entry points: a table of tasks by handle over Task.
#include <curl/curl.h>
#include <dirent.h>
#include <unistd.h>

#include <cerrno>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "../xldl.h"
#include "foundation/base/unicode.h"
#include "names.h"
#include "resume_record.h"
#include "settings.h"
#include "task.h"

namespace {

std::mutex g_tasks_mutex;  // guards g_tasks, g_next_handle and g_curl_started; never held across a join
std::map<XlTaskHandle, std::shared_ptr<xldl::Task>> g_tasks;
XlTaskHandle g_next_handle = 1;
bool g_curl_started = false;

// A zero-terminated UTF-16 field of at most `units` units, as UTF-8; false
// when it is not terminated inside the field.
bool FieldText(const char16_t* field, size_t units, std::string* out) {
  size_t length = 0;
  while (length < units && field[length] != 0) ++length;
  if (length == units) return false;
  *out = unicode::Utf16ToUtf8(field, length);
  return true;
}

std::shared_ptr<xldl::Task> FindTask(XlTaskHandle handle) {
  std::lock_guard<std::mutex> lock(g_tasks_mutex);
  const auto it = g_tasks.find(handle);
  return it == g_tasks.end() ? nullptr : it->second;
}

struct BlockPaths {
  std::string url;
  std::string folder;  // with a trailing '/'
  std::string name;    // may be empty
};

bool ReadBlock(const XlTaskParam* param, BlockPaths* paths) {
  if (param == nullptr) return false;
  std::string name;
  if (!FieldText(param->url, 2084, &paths->url) || !FieldText(param->save_folder, 260, &paths->folder) ||
      !FieldText(param->file_name, 260, &name) || paths->url.empty() || paths->folder.empty()) {
    return false;
  }
  if (paths->folder.back() != '/') paths->folder += '/';
  paths->name = xldl::CallerFileName(name);
  return name.empty() || !paths->name.empty();
}

bool Unlinked(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

void FillInfo(xldl::Task& task, XlTaskInfo* info) {
  const xldl::Task::Snapshot s = task.Query();
  info->state = s.state;
  info->fail_code = s.fail_code;
  std::u16string name = unicode::Utf8ToUtf16(s.file_name.data(), s.file_name.size());
  if (name.size() > 259) name.resize(259);
  char16_t field[260] = {0};
  std::memcpy(field, name.data(), name.size() * sizeof(char16_t));
  std::memcpy(reinterpret_cast<char*>(info) + offsetof(XlTaskInfo, file_name), field, sizeof field);
  info->total_size = s.total;
  info->downloaded_size = s.downloaded;
  info->speed = s.speed;
}

}  // namespace

XLDL_API int XL_Init(void) {
  std::lock_guard<std::mutex> lock(g_tasks_mutex);
  if (!g_curl_started) g_curl_started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return g_curl_started ? 1 : 0;
}

XLDL_API int XL_UnInit(void) {
  std::map<XlTaskHandle, std::shared_ptr<xldl::Task>> tasks;
  {
    std::lock_guard<std::mutex> lock(g_tasks_mutex);
    tasks.swap(g_tasks);
  }
  for (auto& entry : tasks) entry.second->Stop();
  tasks.clear();
  std::lock_guard<std::mutex> lock(g_tasks_mutex);
  if (g_curl_started) curl_global_cleanup();
  g_curl_started = false;
  return 1;
}

XLDL_API XlTaskHandle XL_CreateTask(const XlTaskParam* param) {
  BlockPaths paths;
  if (!ReadBlock(param, &paths)) return 0;
  auto task = std::make_shared<xldl::Task>(paths.url, paths.folder, paths.name);
  std::lock_guard<std::mutex> lock(g_tasks_mutex);
  const XlTaskHandle handle = g_next_handle++;
  g_tasks.emplace(handle, std::move(task));
  return handle;
}

XLDL_API int XL_DeleteTask(XlTaskHandle handle) {
  std::shared_ptr<xldl::Task> task;
  {
    std::lock_guard<std::mutex> lock(g_tasks_mutex);
    const auto it = g_tasks.find(handle);
    if (it == g_tasks.end()) return 0;
    task = std::move(it->second);
    g_tasks.erase(it);
  }
  task->Stop();
  return 1;
}

XLDL_API int XL_StartTask(XlTaskHandle handle) {
  const auto task = FindTask(handle);
  return task && task->Start() ? 1 : 0;
}

XLDL_API int XL_StopTask(XlTaskHandle handle) {
  const auto task = FindTask(handle);
  return task && task->Stop() ? 1 : 0;
}

XLDL_API int XL_QueryTaskInfo(XlTaskHandle handle, XlTaskInfo* info) {
  const auto task = FindTask(handle);
  if (!task || info == nullptr) return 0;
  FillInfo(*task, info);
  return 1;
}

XLDL_API int XL_QueryTaskInfoEx(XlTaskHandle handle, XlTaskInfo* info) { return XL_QueryTaskInfo(handle, info); }

XLDL_API int XL_SetProxy(const XlProxyRecord* proxy) {
  if (proxy == nullptr) return 0;
  std::string host, user, password, domain;
  const bool texts = FieldText(proxy->host, 2048, &host) && FieldText(proxy->user, 50, &user) &&
                     FieldText(proxy->password, 50, &password) && FieldText(proxy->domain, 2048, &domain);
  const char* scheme = proxy->type == 1 ? "http" : proxy->type == 2 ? "socks4" : proxy->type == 3 ? "socks5" : nullptr;
  if (proxy->direct == 1 || scheme == nullptr) {
    xldl::SetProxySettings("", "", "");
    return 1;
  }
  if (!texts || host.empty() || proxy->port == 0 || proxy->port > 65535) return 0;
  if (!domain.empty() && !user.empty()) user = domain + "\\" + user;
  xldl::SetProxySettings(std::string(scheme) + "://" + host + ":" + std::to_string(proxy->port), user, password);
  return 1;
}

XLDL_API int XL_SetSpeedLimit(int32_t kib_per_second) {
  xldl::SetSpeedCap(static_cast<int64_t>(kib_per_second) * 1024);
  return 1;
}

XLDL_API int XL_DelTempFile(const XlTaskParam* param) {
  BlockPaths paths;
  if (!ReadBlock(param, &paths)) return 0;
  std::vector<std::string> names;
  if (!paths.name.empty()) {
    names.push_back(paths.name);
  } else if (DIR* dir = ::opendir(paths.folder.c_str())) {
    // No name: the resume records of the folder tell which part is this URL's.
    while (const dirent* entry = ::readdir(dir)) {
      const std::string file = entry->d_name;
      if (file.size() <= 7 || file.compare(file.size() - 7, 7, ".td.cfg") != 0) continue;
      const auto record = xldl::ReadResumeFile(paths.folder + file);
      if (record && record->url == paths.url) names.push_back(file.substr(0, file.size() - 7));
    }
    ::closedir(dir);
  }
  bool all = true;
  for (const std::string& name : names) {
    const std::string td = paths.folder + name + ".td";
    all = Unlinked(td) && all;
    all = Unlinked(td + ".cfg") && all;
  }
  return all ? 1 : 0;
}

XLDL_API int XL_SetUserAgent(const char16_t* user_agent) {
  if (user_agent == nullptr) return 0;
  size_t length = 0;
  while (length < 99 && user_agent[length] != 0) ++length;
  xldl::SetUserAgent(unicode::Utf16ToUtf8(user_agent, length));
  return 1;
}

XLDL_API int XL_ParseThunderPrivateUrl(const char16_t*, char16_t*, int32_t) { return 0; }

XLDL_API int XL_Determine3GNetType(void) { return 0; }

XLDL_API int XL_GetFileSizeWithUrl(const char16_t* url, int64_t* size) {
  std::string text;
  if (url == nullptr || size == nullptr || !FieldText(url, 2084, &text)) return 0;
  const auto known = xldl::RememberedSize(text);
  if (!known) return 0;
  *size = static_cast<int64_t>(*known);
  return 1;
}

XLDL_API int XL_SetUploadSpeedLimit(int32_t, int32_t) { return 1; }
