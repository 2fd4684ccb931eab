// The SC exports over one process-wide CacheStore.
#include "ledgerbox.h"

#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "src/cache_store.h"
#include "src/record_codec.h"

using ledgerbox::Bytes;

namespace {
// Guards g_store and serialises every call: one SQLite connection per process.
std::mutex g_mu;
ledgerbox::CacheStore g_store;

const Bytes& ThisPcKey() {
  static const Bytes key = ledgerbox::EncodeNumber(1);
  return key;
}

Bytes PairKey(const SQueryDevInfo& first, const SQueryDevInfo& second) {
  return ledgerbox::JoinParts({ledgerbox::DeviceKey(first), ledgerbox::DeviceKey(second)});
}

// Reads the drivers for the caller when both out pointers are given.
bool HandDrivers(const Bytes& bytes, SDrvInfo** drivers, uint8_t* count) {
  if (!drivers || !count) return true;
  if (*drivers) return false;  // an output that is not empty is never overwritten
  return ledgerbox::DecodeDrivers(bytes, drivers, count);
}
}  // namespace

LEDGERBOX_API int SCInit() {
  std::lock_guard<std::mutex> hold(g_mu);
  return g_store.Open(ledgerbox::CacheFolder()) ? 1 : 0;
}

LEDGERBOX_API int SCClose() {
  std::lock_guard<std::mutex> hold(g_mu);
  g_store.Close();
  return 1;
}

LEDGERBOX_API int SCGetSysInfo(SSysInfo* info) {
  if (!info) return 0;
  std::lock_guard<std::mutex> hold(g_mu);
  const auto value = g_store.Get(ledgerbox::kSysTable, ThisPcKey());
  return value && ledgerbox::DecodeSysInfo(*value, info) ? 1 : 0;
}

LEDGERBOX_API int SCUpdateSysInfo(const SSysInfo* info) {
  if (!info) return 0;
  std::lock_guard<std::mutex> hold(g_mu);
  return g_store.Put(ledgerbox::kSysTable, ThisPcKey(), ledgerbox::EncodeSysInfo(*info)) ? 1 : 0;
}

LEDGERBOX_API int SCGetDrvInfo(SDevCacheInfo* record, SDrvInfo** drivers, uint8_t* count) {
  if (!record) return 0;
  std::lock_guard<std::mutex> hold(g_mu);
  const auto value = g_store.Get(ledgerbox::kDeviceTable, ledgerbox::DeviceKey(record->DevInfo));
  std::vector<Bytes> parts;
  if (!value || !ledgerbox::SplitParts(*value, 2, &parts)) return 0;
  SDevCacheInfo read = *record;
  if (!ledgerbox::DecodeDeviceDetails(parts[0], &read) || !HandDrivers(parts[1], drivers, count)) return 0;
  *record = read;
  return 1;
}

LEDGERBOX_API int SCUpdateDrvInfo(const SDevCacheInfo* record, const SDrvInfo* drivers, uint8_t count) {
  if (!record) return 0;
  const Bytes value =
      ledgerbox::JoinParts({ledgerbox::EncodeDeviceDetails(*record), ledgerbox::EncodeDrivers(drivers, count)});
  std::lock_guard<std::mutex> hold(g_mu);
  return g_store.Put(ledgerbox::kDeviceTable, ledgerbox::DeviceKey(record->DevInfo), value) ? 1 : 0;
}

LEDGERBOX_API int SCGetSpecialDrvInfo(SDevCacheInfo* first, SDevCacheInfo* second, SDrvInfo** drivers, uint8_t* count) {
  if (!first || !second) return 0;
  std::lock_guard<std::mutex> hold(g_mu);
  const auto value = g_store.Get(ledgerbox::kPairTable, PairKey(first->DevInfo, second->DevInfo));
  std::vector<Bytes> parts;
  if (!value || !ledgerbox::SplitParts(*value, 3, &parts)) return 0;
  SDevCacheInfo one = *first, two = *second;
  if (!ledgerbox::DecodeDeviceDetails(parts[0], &one) || !ledgerbox::DecodeDeviceDetails(parts[1], &two) ||
      !HandDrivers(parts[2], drivers, count))
    return 0;
  *first = one;
  *second = two;
  return 1;
}

LEDGERBOX_API int SCUpdateSpecialDrvInfo(const SDevCacheInfo* first, const SDevCacheInfo* second,
                                         const SDrvInfo* drivers, uint8_t count) {
  if (!first || !second) return 0;
  const Bytes value =
      ledgerbox::JoinParts({ledgerbox::EncodeDeviceDetails(*first), ledgerbox::EncodeDeviceDetails(*second),
                            ledgerbox::EncodeDrivers(drivers, count)});
  std::lock_guard<std::mutex> hold(g_mu);
  return g_store.Put(ledgerbox::kPairTable, PairKey(first->DevInfo, second->DevInfo), value) ? 1 : 0;
}

LEDGERBOX_API void SCFreeDrvInfo(SDrvInfo* drivers, uint8_t count) { ledgerbox::FreeDrivers(drivers, count); }

LEDGERBOX_API int SCGetBrandSoftInfo(SSoftInfo** soft, uint8_t* count, int32_t* stamp) {
  if (!soft || !count || !stamp || *soft) return 0;
  std::lock_guard<std::mutex> hold(g_mu);
  const auto value = g_store.Get(ledgerbox::kSoftwareTable, ThisPcKey());
  std::vector<Bytes> parts;
  int32_t read_stamp = 0;
  if (!value || !ledgerbox::SplitParts(*value, 2, &parts) || !ledgerbox::DecodeNumber(parts[0], &read_stamp) ||
      !ledgerbox::DecodeSoftware(parts[1], soft, count))
    return 0;
  *stamp = read_stamp;
  return 1;
}

LEDGERBOX_API int SCUpdateBrandSoftInfo(const SSoftInfo* soft, uint8_t count, int32_t stamp) {
  const Bytes value = ledgerbox::JoinParts({ledgerbox::EncodeNumber(stamp), ledgerbox::EncodeSoftware(soft, count)});
  std::lock_guard<std::mutex> hold(g_mu);
  return g_store.Put(ledgerbox::kSoftwareTable, ThisPcKey(), value) ? 1 : 0;
}

LEDGERBOX_API void SCFreeBrandSoftInfo(SSoftInfo* soft) { delete[] soft; }

LEDGERBOX_API int SCUpdateDrvDesc(int32_t driver_id, const char16_t* text) {
  if (!text) return 0;
  const Bytes value = ledgerbox::EncodeDescription(std::u16string(text));
  std::lock_guard<std::mutex> hold(g_mu);
  return g_store.Put(ledgerbox::kDescriptionTable, ledgerbox::EncodeNumber(driver_id), value) ? 1 : 0;
}

LEDGERBOX_API int SCGetDrvDesc(int32_t driver_id, char16_t* buffer, int32_t* length) {
  if (!length || *length < 0) return 0;
  std::u16string text;
  {
    std::lock_guard<std::mutex> hold(g_mu);
    const auto value = g_store.Get(ledgerbox::kDescriptionTable, ledgerbox::EncodeNumber(driver_id));
    if (!value || !ledgerbox::DecodeDescription(*value, &text)) return 0;
  }
  if (text.size() >= static_cast<size_t>(INT32_MAX)) return 0;
  const int32_t needed = static_cast<int32_t>(text.size()) + 1;
  if (!buffer || needed > *length) {
    *length = needed;  // stored, but it does not fit
    return 0;
  }
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  *length = needed;
  return 1;
}
