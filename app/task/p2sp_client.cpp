#include "app/task/p2sp_client.h"

#include <dlfcn.h>
#include <errno.h>
#include <limits.h>

#include <vector>

#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace {

const char* const kSlotNames[P2SPInterface::kSlotCount] = {
    "P2SPNetWorkStatusCallback", "P2SPInit", "P2SPClose", "P2SPRun", "P2SPStop", "QENVersion", "P2SPGetServer",
    "P2SPSetProperty", "P2SPGetProperty", "P2SPGetTaskErrorMsg", "P2SPSetProxy", "P2SPTestProxy", "P2SPGetProxy",
    "P2SPNewTask", "P2SPRunTask", "P2SPRunTaskEx", "P2SPStopTask", "P2SPDelTask", "P2SPGetDigest",
    "P2SPGetTaskFileName", "P2SPGetTaskFileSize", "P2SPGetTaskSpeed", "P2SPGetTaskDownloadedSize",
    "P2SPGetTaskStatus", nullptr, "P2SPCheckTask", "P2SPCheckTaskEx", "P2SPGetAllTaskUrl", "P2SPGetAllTaskSpeed",
    "P2SPSetServerAddr", "P2SPSetTaskType", "P2SPGetTaskErrorCode"};

void* LookUpInModule(void* module, const char* name) { return dlsym(module, name); }

P2SPClient* g_client = nullptr;

}  // namespace

const char* P2SPInterface::SlotName(int slot) {
  return slot >= 0 && slot < kSlotCount ? kSlotNames[slot] : nullptr;
}

P2SPInterface::~P2SPInterface() { Unload(); }

bool P2SPInterface::Load(const std::u16string& path) {
  Unload();
  void* module = dlopen(WStringToAnsi(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    PD_LOG_TRACE("load swarmload.dll failed. Error = %d\n", errno);
    return false;
  }
  module_ = module;
  Bind(LookUpInModule, module);
  return true;
}

void P2SPInterface::Bind(void* (*lookup)(void* context, const char* name), void* context) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    slots_[slot] = kSlotNames[slot] ? lookup(context, kSlotNames[slot]) : nullptr;
  }
}

void P2SPInterface::Unload() {
  for (void*& slot : slots_) slot = nullptr;
  if (module_) dlclose(module_);
  module_ = nullptr;
}

bool P2SPInterface::P2SPInit(const std::string& work_folder) {
  auto fn = Get<int (*)(const char*)>(kInit);
  return fn && fn(work_folder.c_str()) != 0;
}

bool P2SPInterface::P2SPRun() {
  auto fn = Get<bool (*)()>(kRun);
  return fn && fn();
}

void P2SPInterface::P2SPStop() {
  if (auto fn = Get<void (*)()>(kStop)) fn();
}

void P2SPInterface::P2SPClose() {
  if (auto fn = Get<void (*)()>(kClose)) fn();
}

bool P2SPInterface::P2SPSetProperty(const char* name, const void* value, int size) {
  auto fn = Get<bool (*)(const char*, const void*, int)>(kSetProperty);
  return fn && fn(name, value, size);
}

bool P2SPInterface::P2SPNewTask(const std::string& url, const std::string& path, int type) {
  auto fn = Get<bool (*)(const char*, const char*, int)>(kNewTask);
  return fn && fn(url.c_str(), path.c_str(), type);
}

bool P2SPInterface::P2SPRunTask(const std::string& url, const std::string& path, int type) {
  if (auto ex = Get<bool (*)(const char*, const char*, int)>(kRunTaskEx)) return ex(url.c_str(), path.c_str(), type);
  if (auto plain = Get<bool (*)(const char*, int)>(kRunTask)) return plain(url.c_str(), type);
  return false;
}

bool P2SPInterface::P2SPStopTask(const std::string& url) {
  auto fn = Get<int (*)(const char*)>(kStopTask);
  return fn && fn(url.c_str()) != 0;
}

bool P2SPInterface::P2SPDelTask(const std::string& url) {
  auto fn = Get<int (*)(const char*)>(kDelTask);
  return fn && fn(url.c_str()) != 0;
}

int P2SPInterface::P2SPGetTaskStatus(const std::string& url) {
  auto fn = Get<int (*)(const char*)>(kGetTaskStatus);
  return fn ? (fn(url.c_str()) & 0xFF) : -1;
}

uint64_t P2SPInterface::P2SPGetTaskFileSize(const std::string& url) {
  auto fn = Get<uint64_t (*)(const char*)>(kGetTaskFileSize);
  return fn ? fn(url.c_str()) : 0;
}

uint64_t P2SPInterface::P2SPGetTaskDownloadedSize(const std::string& url) {
  auto fn = Get<uint64_t (*)(const char*)>(kGetTaskDownloadedSize);
  return fn ? fn(url.c_str()) : 0;
}

int32_t P2SPInterface::P2SPGetTaskSpeed(const std::string& url) {
  auto fn = Get<int (*)(const char*)>(kGetTaskSpeed);
  return fn ? fn(url.c_str()) : 0;
}

std::u16string P2SPInterface::P2SPGetTaskFileName(const std::string& url) {
  auto fn = Get<int (*)(const char*, char*, int)>(kGetTaskFileName);
  if (!fn) return std::u16string();
  std::vector<char> buffer(PATH_MAX, '\0');
  if (fn(url.c_str(), buffer.data(), static_cast<int>(buffer.size())) <= 0) return std::u16string();
  buffer.back() = '\0';
  return AnsiToWString(std::string(buffer.data()));
}

int P2SPInterface::P2SPCheckTask(const std::string& url, int kind, const std::string& path) {
  if (auto ex = Get<int (*)(const char*, int, const char*)>(kCheckTaskEx)) return ex(url.c_str(), kind, path.c_str());
  if (auto plain = Get<int (*)(const char*, int)>(kCheckTask)) return plain(url.c_str(), kind);
  return 0;
}

int P2SPInterface::P2SPGetTaskErrorCode(const std::string& url) {
  auto fn = Get<int (*)(const char*)>(kGetTaskErrorCode);
  return fn ? fn(url.c_str()) : 0;
}

P2SPClient* P2SPClient::Instance() {
  if (!g_client) g_client = new P2SPClient();
  return g_client;
}

P2SPClient* P2SPClient::Get() { return g_client; }

void P2SPClient::Release() {
  delete g_client;
  g_client = nullptr;
}

void P2SPClient::SetWorkPath(const std::u16string& folder) { work_folder_ = WStringToAnsi(folder); }

bool P2SPClient::Start() {
  if (!interface_.P2SPInit(work_folder_)) {
    PD_LOG_TRACE("P2SPInit failed path=%s\n", work_folder_.c_str());
    return false;
  }
  interface_.P2SPSetProperty("qen_version", &version_, sizeof(version_));
  interface_.P2SPSetProperty("union_id", &union_id_, sizeof(union_id_));
  if (!interface_.P2SPRun()) {
    PD_LOG_TRACE("P2SPRun\n");
    return false;
  }
  initialised_ = true;
  return true;
}

void P2SPClient::Stop() {
  interface_.P2SPStop();
  interface_.P2SPClose();
  initialised_ = false;
}

namespace {

// The engine's table, or an empty one when there is no client: every
// wrapper of an empty table answers its default.
P2SPInterface& Engine() {
  static P2SPInterface empty;
  P2SPClient* client = P2SPClient::Get();
  return client ? client->Interface() : empty;
}

std::string NarrowOrEmpty(const std::u16string* path) { return path ? WStringToAnsi(*path) : std::string(); }

}  // namespace

HashFileDownloader::HashFileDownloader(const std::u16string& url) : url_(WStringToAnsi(url)) {}

// A task the engine holds and that is not finished is resumed; a finished
// task whose file passes the full check is already done; anything else is
// deleted in the engine and created anew.
bool HashFileDownloader::StartDownload(const std::u16string& path, int type) {
  type_ = type;
  if (CheckTask(1, &path) != 0) {
    if (GetStatus() != 6) return RunTask(&path, type);
    if (CheckTask(2, &path) != 0) return true;
    PD_LOG_TRACE("File %s CheckStatus 2 is error\n", WStringToAnsi(path).c_str());
    DelTask();
    return NewTask(&path, 0x90002);
  }
  DelTask();
  return NewTask(&path, type);
}

bool HashFileDownloader::Stop() { return Engine().P2SPStopTask(url_); }
int HashFileDownloader::GetStatus() { return Engine().P2SPGetTaskStatus(url_); }
uint64_t HashFileDownloader::GetFileSize() { return Engine().P2SPGetTaskFileSize(url_); }
uint64_t HashFileDownloader::GetDownloadedSize() { return Engine().P2SPGetTaskDownloadedSize(url_); }
int32_t HashFileDownloader::GetSpeed() { return Engine().P2SPGetTaskSpeed(url_); }
std::u16string HashFileDownloader::GetFileName() { return Engine().P2SPGetTaskFileName(url_); }

bool HashFileDownloader::NewTask(const std::u16string* path, int type) {
  return Engine().P2SPNewTask(url_, NarrowOrEmpty(path), type);
}

bool HashFileDownloader::RunTask(const std::u16string* path, int type) {
  return Engine().P2SPRunTask(url_, NarrowOrEmpty(path), type);
}

int HashFileDownloader::CheckTask(int kind, const std::u16string* path) {
  return Engine().P2SPCheckTask(url_, kind, NarrowOrEmpty(path));
}

bool HashFileDownloader::DelTask() { return Engine().P2SPDelTask(url_); }

int HashFileDownloader::GetErrorCode() { return Engine().P2SPGetTaskErrorCode(url_); }
