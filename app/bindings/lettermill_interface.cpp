#include "app/bindings/lettermill_interface.h"

#include "app/bindings/bind_once.h"
#include "app/bindings/outside_library.h"
#include "foundation/base/log.h"
#include "platform/dynamic_library.h"

namespace {

app::BindOnce<CLettermillInterface, app::Opening::kOnFirstNeed> g_once;

}  // namespace

CLettermillInterface* CLettermillInterface::Instance() { return g_once.Get(); }

void CLettermillInterface::Release() { delete g_once.Take(); }

CLettermillInterface::~CLettermillInterface() {
  UinitPost();
  Free();
  PD_LOG_TRACE("CLettermillInterface::~CLettermillInterface");
}

bool CLettermillInterface::Load() {
  std::lock_guard<std::mutex> hold(lock_);
  const bool opened = LoadLocked();
  InitLocked();
  return opened;
}

bool CLettermillInterface::LoadLocked() {
  if (module_ != nullptr) return true;
  tried_ = true;
  std::string error;
  module_ = app::LoadOutsideLibrary("Lettermill.dll", &error);
  if (module_ == nullptr) {
    PD_LOG_TRACE("Lettermill.dll failed(error:%s)", error.c_str());
    return false;
  }
  init_post_ = reinterpret_cast<PfnInitPost>(platform::FindSymbol(module_, "InitPost"));
  uinit_post_ = reinterpret_cast<PfnUinitPost>(platform::FindSymbol(module_, "UinitPost"));
  lettermill_ = reinterpret_cast<PfnLettermill>(platform::FindSymbol(module_, "Lettermill"));
  lettermill_ex_ = reinterpret_cast<PfnLettermill>(platform::FindSymbol(module_, "LettermillEx"));
  return true;
}

void CLettermillInterface::InitLocked() {
  if (!init_wanted_ || initialised_ || init_post_ == nullptr) return;
  init_post_();
  initialised_ = true;
}

void CLettermillInterface::Free() {
  std::lock_guard<std::mutex> hold(lock_);
  init_post_ = nullptr;
  uinit_post_ = nullptr;
  lettermill_ = nullptr;
  lettermill_ex_ = nullptr;
  initialised_ = false;
  tried_ = false;
  if (module_ != nullptr) {
    PD_LOG_TRACE("free Lettermill.dll start");
    platform::FreeLibrary(module_);
    PD_LOG_TRACE("free Lettermill.dll end");
    module_ = nullptr;
  } else {
    PD_LOG_TRACE("Lettermill.dll m_hMod is null ");
  }
}

void CLettermillInterface::InitPost() {
  std::lock_guard<std::mutex> hold(lock_);
  init_wanted_ = true;
  InitLocked();
}

void CLettermillInterface::UinitPost() {
  std::lock_guard<std::mutex> hold(lock_);
  init_wanted_ = false;
  if (!initialised_) return;
  if (uinit_post_ != nullptr) uinit_post_();
  initialised_ = false;
}

unsigned char CLettermillInterface::Lettermill(const std::string& url, const std::string& body, int flag1,
                                               int flag2) {
  PfnLettermill post = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (module_ == nullptr && !tried_) LoadLocked();
    InitLocked();
    post = lettermill_ex_;
  }
  if (post == nullptr) return 0;
  PD_LOG_TRACE("LettermillEx start: %s", url.c_str());
  const unsigned char result = post(url.c_str(), body.c_str(), flag1, flag2);
  PD_LOG_TRACE("LettermillEx end: %d", result);
  return result;
}
