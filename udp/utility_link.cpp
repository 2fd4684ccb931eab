// udp's use of the utility library: its process-wide log, the CRC-32 and
// the datagram cipher.
#include "utility_link.h"

#include <cstdarg>
#include <cstdio>

#include "utility/base_crc.h"
#include "utility/base_log.h"

namespace udp {

bool OpenLog() { return CBaseLog::Log()->OpenLog("log/udp.log"); }

void CloseLog() {
  CBaseLog::Log()->CloseLog();
  CBaseLog::Unlog();
}

void Log(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  CBaseLog::Log()->OutFile(2, "%s", text);
}

uint32_t Crc32(const uint8_t* data, size_t length) {
  return GetCrc32(reinterpret_cast<const char*>(data), int(length));
}

void CipherInPlace(uint8_t* data, size_t length) { EncryptData(reinterpret_cast<char*>(data), int(length)); }

}  // namespace udp
