#include "pnp_settings.h"

#include <memory>
#include <mutex>

#include "base/base_proc.h"
#include "foundation/base/code_page.h"

namespace devwarden {

namespace {

std::mutex g_mu;                        // guards g_settings
std::unique_ptr<PnpSettings> g_settings;

PnpSettings& SettingsLocked() {
  if (!g_settings) {
    g_settings = std::make_unique<PnpSettings>();
    g_settings->download_path = MultiByteToWString(HostProgramFolder() + "/drivers", CP_UTF8);
  }
  return *g_settings;
}

}  // namespace

PnpSettings GetSettings() {
  std::lock_guard<std::mutex> lock(g_mu);
  return SettingsLocked();
}

void UpdateSettings(void (*edit)(PnpSettings&, const void*), const void* arg) {
  std::lock_guard<std::mutex> lock(g_mu);
  edit(SettingsLocked(), arg);
}

void ResetSettings() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_settings.reset();
}

}  // namespace devwarden
