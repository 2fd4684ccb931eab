// The datagram checksum and cipher that udp applies to its payloads.
#pragma once

#include <cstdint>

#include "utility/utility_export.h"

// Table-driven reflected CRC-32 (polynomial 0xEDB88320) with the start value
// 0x000000FF and no final inversion. len <= 0 gives 0xFF.
UTILITY_API uint32_t GetCrc32(const char* data, int len);

// XOR with the 1024-byte datagram key stream, position i using key byte
// i mod 1024. One operation under two names: applying it twice restores the
// input. len <= 0 changes nothing.
UTILITY_API void EncryptData(char* buf, int len);
UTILITY_API void DecryptData(char* buf, int len);

// Regenerates the key stream in place (it always holds the same bytes).
UTILITY_API void GetKeyTable();
