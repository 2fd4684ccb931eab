// The model query's frame: the answer's parsing and the maker table come
// with the model information code. Until then no model is known and every
// query fails as the service's missing answer does.
#include "android_model.h"

#include "foundation/base/log.h"

namespace devwarden {

int GetMobileProductInfo(uint16_t, uint16_t, const char16_t*, const char16_t*, const char16_t*, AndroidModelInfo*) {
  PD_LOG_TRACE("Android GET Android xml Begin !");
  PD_LOG_ERROR("Android GET Android xml Failed !");
  return 0;
}

uint16_t FindVendorIdByName(const char16_t*) { return 0; }

}  // namespace devwarden
