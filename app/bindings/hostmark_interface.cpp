#include "app/bindings/hostmark_interface.h"

#include "app/bindings/bind_once.h"
#include "app/bindings/outside_library.h"
#include "foundation/base/log.h"
#include "platform/dynamic_library.h"

namespace {

app::BindOnce<CHostmarkInterface> g_once;

}  // namespace

CHostmarkInterface* CHostmarkInterface::Instance() { return g_once.Get(); }

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
