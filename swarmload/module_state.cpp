#include "module_state.h"

#include <curl/curl.h>

#include "engine.h"
#include "foundation/base/code_page.h"
#include "foundation/base/swarm_log.h"
#include "host_services.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "scheme_url.h"
#include "sql_db.h"

namespace swarmload {

namespace {

// Guarded by the engine lock.
int32_t g_init_count = 0;
std::u16string g_work_folder;
KitoracleBinding g_kitoracle;
bool g_session_open = false;
bool g_curl_started = false;

void InitDSInterface() {
  void* module = platform::LoadLibraryFrom(platform::ProgramDirectory(), "kitoracle.dll");
  if (module == nullptr) return;  // no kitoracle: scheme links resolve from the link alone, no reports
  g_kitoracle.module = module;
  g_kitoracle.init = reinterpret_cast<PfnDSInit>(platform::FindSymbol(module, "DSInit"));
  g_kitoracle.close = reinterpret_cast<PfnDSClose>(platform::FindSymbol(module, "DSClose"));
  g_kitoracle.search = reinterpret_cast<PfnDSSearchServerRes>(platform::FindSymbol(module, "DSSearchServerRes"));
  g_kitoracle.report =
      reinterpret_cast<PfnDSDownloadStatReport>(platform::FindSymbol(module, "DSDownloadStatReport"));
  if (g_kitoracle.init != nullptr) g_kitoracle.init();
}

}  // namespace

base_Mutex& EngineLock() {
  static base_Mutex lock;
  return lock;
}

base_Mutex& TaskLock() {
  static base_Mutex lock;
  return lock;
}

base_Mutex& DatabaseLock() {
  static base_Mutex lock;
  return lock;
}

const KitoracleBinding& Kitoracle() { return g_kitoracle; }

const std::u16string& WorkFolder() { return g_work_folder; }

bool DirectSessionOpen() { return g_session_open; }

void CountedInit(const char* work_folder) {
  base_MutexGuard guard(&EngineLock());
  if (g_init_count++ != 0) return;
  if (base::CBaseLog* log = base::CBaseLog::GetInstance()) log->Open();
  Qen_Add_FireWall();
  PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogInfo, "Qen_Add_FireWall end");
  g_work_folder = AnsiToWString(work_folder != nullptr ? work_folder : "");
  DownInfoDB().SetFolder(g_work_folder);
  if (DownInfoDB().Open() == 0) DownInfoDB().LoadAll();
  PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogInfo, "DownLoadInfo.db end");
  InitDSInterface();
  PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogInfo, "InitDSInterface end");
  if (!g_session_open) {
    if (!g_curl_started) g_curl_started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    g_session_open = g_curl_started;
  }
}

void CountedClose() {
  base_MutexGuard guard(&EngineLock());
  if (g_init_count-- != 1) return;
  UnloadEngine();
  if (g_kitoracle.close != nullptr) g_kitoracle.close();
  platform::FreeLibrary(g_kitoracle.module);
  g_kitoracle = KitoracleBinding();
  g_session_open = false;
  ClearTasks();
  ClearResolutionCache();
  DownInfoDB().Close();
  base::CBaseLog::ReleaseInstance();
}

}  // namespace swarmload
