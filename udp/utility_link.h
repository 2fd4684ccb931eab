// What udp takes from the utility library besides its event socket (see
// udp_socket.h) and the FunctionChecker traces: its process-wide log (level
// 2 lines into "log/udp.log" beside the program), the CRC-32 and the
// datagram cipher.
#ifndef PHONEDECK_UDP_UTILITY_LINK_H
#define PHONEDECK_UDP_UTILITY_LINK_H

#include <cstddef>
#include <cstdint>

namespace udp {

bool OpenLog();
void CloseLog();
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

uint32_t Crc32(const uint8_t* data, size_t length);
void CipherInPlace(uint8_t* data, size_t length);  // enciphers and deciphers

}  // namespace udp

#endif  // PHONEDECK_UDP_UTILITY_LINK_H
