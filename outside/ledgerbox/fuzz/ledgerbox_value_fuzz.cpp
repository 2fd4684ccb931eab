// libFuzzer target: the cache's byte form as it may come back from a damaged
// database file. Every decoder either refuses the bytes or fills its record
// within bounds; what a decoder hands out is freed again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "src/record_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ledgerbox::Bytes bytes(data, data + size);
  SDrvInfo* drivers = nullptr;
  uint8_t count = 0;
  if (ledgerbox::DecodeDrivers(bytes, &drivers, &count)) ledgerbox::FreeDrivers(drivers, count);
  SSoftInfo* soft = nullptr;
  if (ledgerbox::DecodeSoftware(bytes, &soft, &count)) delete[] soft;
  SSysInfo sys{};
  ledgerbox::DecodeSysInfo(bytes, &sys);
  SDevCacheInfo record{};
  ledgerbox::DecodeDeviceDetails(bytes, &record);
  std::u16string text;
  ledgerbox::DecodeDescription(bytes, &text);
  std::vector<ledgerbox::Bytes> parts;
  ledgerbox::SplitParts(bytes, 3, &parts);
  return 0;
}
