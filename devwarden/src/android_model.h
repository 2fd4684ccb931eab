// The model query of an Android phone through kitfinder.
#ifndef DEVWARDEN_SRC_ANDROID_MODEL_H_
#define DEVWARDEN_SRC_ANDROID_MODEL_H_

#include <cstdint>

#include "devwarden.h"

namespace devwarden {

// Fills *destination from the driver service's model answer; 1 or 0.
int GetMobileProductInfo(uint16_t vendor_id, uint16_t product_id, const char16_t* adb_name,
                         const char16_t* product, const char16_t* serial, AndroidModelInfo* destination);
// The USB vendor id of a maker name (substring, any case); 0 when unknown.
uint16_t FindVendorIdByName(const char16_t* name);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_ANDROID_MODEL_H_
