#include "foundation/base/swarm_log.h"

#include <new>

namespace base {

namespace {
CBaseLog* g_swarm_log = nullptr;
}  // namespace

CBaseLog* CBaseLog::GetInstance() {
  if (g_swarm_log == nullptr) g_swarm_log = new (std::nothrow) CBaseLog();
  return g_swarm_log;
}

void CBaseLog::ReleaseInstance() {
  if (g_swarm_log == nullptr) return;
  g_swarm_log->Close();
  delete g_swarm_log;
  g_swarm_log = nullptr;
}

}  // namespace base
