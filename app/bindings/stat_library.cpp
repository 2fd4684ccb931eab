#include "app/bindings/stat_library.h"

#include "app/bindings/outside_library.h"
#include "app/config/config_mgr.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "outside/tallyhand/tallyhand.h"
#include "platform/dynamic_library.h"

namespace {

// Set on the main thread in OpenStatLibrary, cleared in CloseStatLibrary.
struct StatBindings {
  void* module = nullptr;
  PfnSTInit init = nullptr;
  PfnSTUDPProxy udp_proxy = nullptr;
  PfnSTUDPTransfer udp_transfer = nullptr;
  PfnSTCmdApp cmd_app = nullptr;
  PfnSTEntryAddr entry_addr = nullptr;
  PfnSTUnionID union_id = nullptr;
  PfnSTAppID app_id = nullptr;
  PfnSTVersion version = nullptr;
  PfnSTOnline online = nullptr;
  PfnSTOffline offline = nullptr;
  PfnSTAction action = nullptr;
  PfnSTUninit uninit = nullptr;
};
StatBindings g_stat;

template <typename Fn>
void Bind(Fn* slot, const char* name) {
  *slot = reinterpret_cast<Fn>(platform::FindSymbol(g_stat.module, name));
}

}  // namespace

bool OpenStatLibrary() {
  if (g_stat.module == nullptr) {
    std::string error;
    const std::u16string path = CConfigMgr::Instance()->GetAppFilePath(u"Tallyhand.dll");
    g_stat.module = app::LoadLibraryAtPath(WStringToAnsi(path), &error);
    if (g_stat.module == nullptr) {
      PD_LOG_TRACE("LoadLibrary Tallyhand.dll failed: %s", error.c_str());
      return false;
    }
    Bind(&g_stat.init, "STInit");
    Bind(&g_stat.udp_proxy, "STUDPProxy");
    Bind(&g_stat.udp_transfer, "STUDPTransfer");
    Bind(&g_stat.cmd_app, "STCmdApp");
    Bind(&g_stat.entry_addr, "STEntryAddr");
    Bind(&g_stat.union_id, "STUnionID");
    Bind(&g_stat.app_id, "STAppID");
    Bind(&g_stat.version, "STVersion");
    Bind(&g_stat.online, "STOnline");
    Bind(&g_stat.offline, "STOffline");
    Bind(&g_stat.action, "STAction");
    Bind(&g_stat.uninit, "STUninit");
  }
  return g_stat.init != nullptr && g_stat.init();
}

void CloseStatLibrary() {
  if (g_stat.uninit != nullptr) g_stat.uninit();
  if (g_stat.module != nullptr) platform::FreeLibrary(g_stat.module);
  g_stat = StatBindings();
}

void StatSetUnionID(uint16_t id) {
  if (g_stat.union_id != nullptr) g_stat.union_id(id);
}

void StatSetAppID(int id) {
  if (g_stat.app_id != nullptr) g_stat.app_id(static_cast<uint8_t>(id));
}

int StatSetVersion(uint32_t low_word, uint32_t high_word) {
  if (g_stat.version == nullptr) return 0;
  return g_stat.version((static_cast<uint64_t>(high_word) << 32) | low_word);
}

void StatOnline() {
  if (g_stat.online != nullptr) g_stat.online();
}

void StatOffline() {
  if (g_stat.offline != nullptr) g_stat.offline();
}

int StatAction(int action, const char* text, int length, bool flag) {
  if (g_stat.action == nullptr) return 0;
  return g_stat.action(action, text, length, flag ? 1 : 0);
}
