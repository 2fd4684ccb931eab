// The servers of each service type (type 0 is the dispatch server itself)
// and the cache file "relaylink.cache" that keeps them between runs.
#ifndef PHONEDECK_RELAYLINK_SERVER_TABLE_H
#define PHONEDECK_RELAYLINK_SERVER_TABLE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace relaylink {

struct ServerEntry {
  std::string host;  // dotted IPv4, or a name that did not resolve
  uint8_t type = 0;
  uint8_t addrKind = 4;  // 3 name, 4 IPv4
  uint16_t port0 = 0, port1 = 0, port2 = 0;
  uint8_t portIndex = 0;  // 0, 1 or 2
  // Port for an index: port1 for 1, port2 for 2, port0 otherwise, and
  // port0 whenever the chosen one is 0.
  uint16_t PortFor(uint8_t index) const;
};

uint8_t AddrKindOf(const std::string& host);  // 3 when it starts with a letter

// The cache file's bytes (pure).
constexpr char kCacheMagic[8] = {'R', 'L', 'K', '1', '.', '0', 0, 0};
constexpr size_t kCacheHeaderSize = 16;
// Entries of type 0, with an empty host, with no port, with a name of 256
// bytes or more, or with an IPv4 text that does not parse are left out.
std::vector<uint8_t> EncodeCache(const std::vector<ServerEntry>& entries, int64_t writtenAt);
struct CacheContents {
  bool ok = false;  // false: too short, wrong magic or an unknown address kind
  std::vector<ServerEntry> entries;  // complete entries only
  int64_t writtenAt = 0;
};
CacheContents DecodeCache(const uint8_t* data, size_t length);

// The cache file "relaylink.cache" in the user's private temporary folder
// (<temporary folder>/qentemp-<uid>, made 0700, owner and type checked);
// empty (logged) when that folder cannot be used.
std::string CacheFolder();
std::string CacheFilePath();
// A cache file longer than this is not read (256 types of the longest entry
// fit well within it).
constexpr size_t kMaxCacheBytes = 128 * 1024;

class ServerTable {
 public:
  using Resolver = std::string (*)(const std::string& name);  // dotted text or empty
  explicit ServerTable(Resolver resolver = nullptr) : resolver_(resolver) {}

  bool AddOrUpdate(const std::string& host, uint8_t type, uint16_t port0, uint16_t port1, uint16_t port2);
  bool Find(uint8_t type, ServerEntry* out);
  void SetPortIndex(uint8_t type, uint8_t index);
  size_t Size();
  bool SaveCache();
  bool LoadCache();
  using LoadLogger = void (*)(const ServerEntry& entry);
  void SetLoadLogger(LoadLogger logger) { loadLogger_ = logger; }

 private:
  Resolver resolver_;
  LoadLogger loadLogger_ = nullptr;
  // Guards entries_ and the cache file: one writer or reader at a time.
  std::mutex mutex_;
  std::map<uint8_t, ServerEntry> entries_;
};

}  // namespace relaylink

#endif  // PHONEDECK_RELAYLINK_SERVER_TABLE_H
