// A little-endian packet builder of the tests' own, independent of the
// library's writer (the bytes a request must have, or a reply to parse),
// and a device record to send.
#ifndef KITORACLE_TESTS_PACK_H_
#define KITORACLE_TESTS_PACK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "kitoracle/driver_records.h"

namespace kitoracle_test {

// Self: the builder type the calls return, so a test can add its own items.
template <typename Self>
struct BasicPack {
  std::vector<uint8_t> b;
  Self& U8(uint64_t v) { return Int(v, 1); }
  Self& U16(uint64_t v) { return Int(v, 2); }
  Self& U32(uint64_t v) { return Int(v, 4); }
  Self& U64(uint64_t v) { return Int(v, 8); }
  Self& Int(uint64_t v, int w) {
    for (int i = 0; i < w; ++i) b.push_back(uint8_t(v >> (8 * i)));
    return static_cast<Self&>(*this);
  }
  Self& Str(const std::string& s) {
    U16(s.size());
    b.insert(b.end(), s.begin(), s.end());
    return static_cast<Self&>(*this);
  }
  Self& Raw(const uint8_t* p, size_t n) {
    b.insert(b.end(), p, p + n);
    return static_cast<Self&>(*this);
  }
  Self& Fill(size_t n, uint8_t v) {
    b.insert(b.end(), n, v);
    return static_cast<Self&>(*this);
  }
};

struct Pack : BasicPack<Pack> {};

// A device record of the fixture's brand and product with the given device
// IDs (kept by the caller).
inline SDevInfo DeviceRecord(std::vector<int32_t>* ids) {
  SDevInfo d{};
  d.iBrandID = 1001;
  d.iProductID = 2002;
  d.iOSID = 6;
  d.cLocalDrvStatus = 1;
  d.iLocalDrvDate = 20140101;
  d.sLanguage = 2052;
  d.cQueryFlag = 10;
  d.cDevIDCount = uint8_t(ids->size());
  d.piDeviceID = ids->data();
  d.cComputerType = 3;
  d.cNeedPackType = 2;
  return d;
}

}  // namespace kitoracle_test

#endif  // KITORACLE_TESTS_PACK_H_
