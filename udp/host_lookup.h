// A host's IPv4 address with a bounded wait: a dotted text at once, a name
// through the system resolver, given up after the time-out (the resolver
// may finish later on its own; nothing waits for it).
#ifndef PHONEDECK_UDP_HOST_LOOKUP_H
#define PHONEDECK_UDP_HOST_LOOKUP_H

#include <netinet/in.h>

#include <string>

namespace udp {

// False when the host is empty, unknown, or not resolved within timeoutMs.
bool LookupIPv4(const std::string& host, in_addr* out, int timeoutMs);

}  // namespace udp

#endif  // PHONEDECK_UDP_HOST_LOOKUP_H
