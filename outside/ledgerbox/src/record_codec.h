// The cache's byte form of the driver records: each field written in order,
// little-endian, texts as a 16-bit count of UTF-16 units up to their NUL.
// Padding and pointers never reach the bytes; attached software arrays are
// written inside their driver. Reading checks every length and refuses what
// does not parse. Pure functions over buffers.
#ifndef OUTSIDE_LEDGERBOX_SRC_RECORD_CODEC_H_
#define OUTSIDE_LEDGERBOX_SRC_RECORD_CODEC_H_

#include <cstdint>
#include <string>
#include <vector>

#include "kitoracle/driver_records.h"

namespace ledgerbox {

using Bytes = std::vector<uint8_t>;

// The key of a device record: its class, its hardware-ID list (the strings up
// to the closing empty one), and its three numbers.
Bytes DeviceKey(const SQueryDevInfo& device);

// What the cache keeps of a device record beside its key.
Bytes EncodeDeviceDetails(const SDevCacheInfo& record);
bool DecodeDeviceDetails(const Bytes& bytes, SDevCacheInfo* record);

Bytes EncodeSysInfo(const SSysInfo& info);
bool DecodeSysInfo(const Bytes& bytes, SSysInfo* info);

Bytes EncodeDrivers(const SDrvInfo* drivers, uint8_t count);
// A new[] array (null for none) with new[] software arrays; false and
// nothing allocated when the bytes do not parse.
bool DecodeDrivers(const Bytes& bytes, SDrvInfo** drivers, uint8_t* count);
void FreeDrivers(SDrvInfo* drivers, uint8_t count);

Bytes EncodeSoftware(const SSoftInfo* soft, uint8_t count);
bool DecodeSoftware(const Bytes& bytes, SSoftInfo** soft, uint8_t* count);

// Several values in one: each with its 32-bit length.
Bytes JoinParts(const std::vector<Bytes>& parts);
bool SplitParts(const Bytes& bytes, size_t count, std::vector<Bytes>* parts);

// A driver description of any length (up to its NUL) and a 32-bit number.
Bytes EncodeDescription(const std::u16string& text);
bool DecodeDescription(const Bytes& bytes, std::u16string* text);
Bytes EncodeNumber(int32_t value);
bool DecodeNumber(const Bytes& bytes, int32_t* value);

}  // namespace ledgerbox

#endif  // OUTSIDE_LEDGERBOX_SRC_RECORD_CODEC_H_
