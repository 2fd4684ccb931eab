// The bytes of the cache file "relaylink.cache" (pure).
#include "server_table.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstring>

namespace relaylink {
namespace {

void PutLe16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(uint8_t(v));
  out->push_back(uint8_t(v >> 8));
}

uint16_t GetLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

uint8_t AddrKindOf(const std::string& host) {
  return !host.empty() && std::isalpha(static_cast<unsigned char>(host[0])) ? 3 : 4;
}

std::vector<uint8_t> EncodeCache(const std::vector<ServerEntry>& entries, int64_t writtenAt) {
  std::vector<uint8_t> out(kCacheMagic, kCacheMagic + 8);
  for (int i = 0; i < 8; ++i) out.push_back(uint8_t(uint64_t(writtenAt) >> (8 * i)));
  for (const ServerEntry& entry : entries) {
    if (entry.type == 0 || entry.host.empty()) continue;
    if (entry.port0 == 0 && entry.port1 == 0 && entry.port2 == 0) continue;
    uint8_t kind = AddrKindOf(entry.host);
    std::vector<uint8_t> address;
    if (kind == 3) {
      if (entry.host.size() > 255) continue;  // its length would not fit the length byte
      address.push_back(uint8_t(entry.host.size()));
      address.insert(address.end(), entry.host.begin(), entry.host.end());
    } else {
      in_addr addr{};
      if (inet_pton(AF_INET, entry.host.c_str(), &addr) != 1) continue;
      const uint8_t* b = reinterpret_cast<const uint8_t*>(&addr.s_addr);
      address.assign(b, b + 4);
    }
    out.push_back(entry.type);
    out.push_back(kind);
    out.insert(out.end(), address.begin(), address.end());
    PutLe16(&out, entry.port0);
    PutLe16(&out, entry.port1);
    PutLe16(&out, entry.port2);
    out.push_back(entry.portIndex);
  }
  return out;
}

CacheContents DecodeCache(const uint8_t* data, size_t length) {
  CacheContents result;
  if (data == nullptr || length < kCacheHeaderSize) return result;
  if (std::memcmp(data, kCacheMagic, 7) != 0) return result;
  uint64_t time = 0;
  for (int i = 0; i < 8; ++i) time |= uint64_t(data[8 + i]) << (8 * i);
  result.writtenAt = int64_t(time);
  size_t offset = kCacheHeaderSize;
  while (offset < length) {
    if (length - offset < 2) break;  // a cut entry is dropped
    ServerEntry entry;
    entry.type = data[offset];
    uint8_t kind = data[offset + 1];
    offset += 2;
    size_t addressSize;
    if (kind == 3) {
      if (offset >= length) break;
      addressSize = 1 + size_t(data[offset]);
    } else if (kind == 4) {
      addressSize = 4;
    } else if (kind == 6) {
      addressSize = 16;
    } else {
      return result;  // entries read so far stay, the file counts as bad
    }
    if (length - offset < addressSize + 7) break;
    if (kind == 3) {
      entry.host.assign(reinterpret_cast<const char*>(data + offset + 1), addressSize - 1);
    } else if (kind == 4) {
      char text[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, data + offset, text, sizeof text);
      entry.host = text;
    }
    entry.addrKind = kind;
    offset += addressSize;
    entry.port0 = GetLe16(data + offset);
    entry.port1 = GetLe16(data + offset + 2);
    entry.port2 = GetLe16(data + offset + 4);
    entry.portIndex = data[offset + 6] <= 2 ? data[offset + 6] : 0;
    offset += 7;
    result.entries.push_back(std::move(entry));
  }
  result.ok = true;
  return result;
}

}  // namespace relaylink
