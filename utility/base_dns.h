// DNS client of libutility.so: one query for an A record over UDP to a
// chosen server, the system resolver as fallback, and a process-wide cache
// of every answer (emptied only by CleanDnsBuffer).
//
// The server text is a dotted IPv4 address, optionally followed by ":port"
// (53 when absent). No server (null or empty) means the machine's first
// configured name server; the environment variable PHONEDECK_DNS_SERVER,
// when set, names that server instead (tests point it at loopback).
//
// Threading: any thread may resolve; the cache and the resolver switch are
// guarded by one lock that is never held during the network wait.
#pragma once

#include <cstdint>

#include "utility/utility_export.h"

namespace DNS {

// Up to max IPv4 addresses (network order) of name; the number written, 0
// when none.
UTILITY_API int GetHostByNameEx(const char* dnsServer, const char* name, uint32_t* addresses,
                                int max, int timeoutMs);
// The first address, 0 when none.
UTILITY_API uint32_t GetHostByName(const char* dnsServer, const char* name, int timeoutMs);
// Empties the cache.
UTILITY_API void CleanDnsBuffer();

}  // namespace DNS
