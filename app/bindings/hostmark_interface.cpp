#include "app/bindings/hostmark_interface.h"

#include <atomic>
#include <thread>

#include "app/bindings/outside_library.h"
#include "foundation/base/log.h"
#include "platform/dynamic_library.h"

namespace {

// 0 none, 1 being made, 2 made: the first caller makes the instance, the
// others wait until it is stored.
std::atomic<int> g_once{0};
CHostmarkInterface* g_instance = nullptr;

}  // namespace

CHostmarkInterface* CHostmarkInterface::Instance() {
  int expected = 0;
  if (g_once.compare_exchange_strong(expected, 1)) {
    auto* made = new CHostmarkInterface();
    made->Load();
    g_instance = made;
    g_once.store(2);
  } else {
    while (g_once.load() != 2) std::this_thread::yield();
  }
  return g_instance;
}

CHostmarkInterface::~CHostmarkInterface() {
  get_identify_ = nullptr;
  if (module_ != nullptr) platform::FreeLibrary(module_);
}

bool CHostmarkInterface::Load() {
  if (module_ != nullptr) return get_identify_ != nullptr;
  module_ = app::LoadOutsideLibrary("Hostmark.dll");
  if (module_ == nullptr) {
    PD_LOG_TRACE("LoadLibrary Hostmark.dll failed");
    return false;
  }
  get_identify_ = reinterpret_cast<PfnHOSTMARKGetIdentify>(platform::FindSymbol(module_, "HOSTMARKGetIdentify"));
  if (get_identify_ == nullptr) PD_LOG_TRACE("Hostmark.dll: HOSTMARKGetIdentify missing");
  return get_identify_ != nullptr;
}

int CHostmarkInterface::GetIdentify(unsigned char* identifier) const {
  if (get_identify_ == nullptr || identifier == nullptr) return 0;
  return get_identify_(identifier);
}
