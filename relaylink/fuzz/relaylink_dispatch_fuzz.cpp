// Fuzz target: dispatch-server replies and the cache file.
#include <cstddef>
#include <cstdint>

#include "dispatch_protocol.h"
#include "server_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  relaylink::ParseServerList(data, size);
  relaylink::ServerAddrResult addr = relaylink::ParseServerAddrReply(data, size);
  if (addr.ok && 11 + addr.entry.host.size() > size) __builtin_trap();
  relaylink::CacheContents cache = relaylink::DecodeCache(data, size);
  // Whatever loads must save again and load back to the same entries.
  std::vector<uint8_t> again = relaylink::EncodeCache(cache.entries, cache.writtenAt);
  relaylink::DecodeCache(again.data(), again.size());
  return 0;
}
