#include "server_table.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace relaylink {
namespace {

void PutLe16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(uint8_t(v));
  out->push_back(uint8_t(v >> 8));
}

uint16_t GetLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out->insert(out->end(), chunk, chunk + n);
  bool ok = ferror(f) == 0;
  fclose(f);
  return ok;
}

}  // namespace

uint16_t ServerEntry::PortFor(uint8_t index) const {
  uint16_t port = index == 1 ? port1 : index == 2 ? port2 : port0;
  return port != 0 ? port : port0;
}

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

std::string CacheFilePath() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp != nullptr && tmp[0] != 0) ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder + "relaylink.cache";
}

bool ServerTable::AddOrUpdate(const std::string& host, uint8_t type, uint16_t port0, uint16_t port1,
                              uint16_t port2) {
  if (host.empty() || port0 == 0) return false;
  std::string address = host;
  if (AddrKindOf(host) == 3 && resolver_ != nullptr) {
    std::string dotted = resolver_(host);
    if (!dotted.empty()) address = dotted;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(type);
  if (it == entries_.end()) {
    ServerEntry entry;
    entry.type = type;
    it = entries_.emplace(type, entry).first;
  }
  it->second.host = address;
  it->second.addrKind = AddrKindOf(address);
  it->second.port0 = port0;
  it->second.port1 = port1;
  it->second.port2 = port2;
  return true;
}

bool ServerTable::Find(uint8_t type, ServerEntry* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(type);
  if (it == entries_.end()) return false;
  if (out != nullptr) *out = it->second;
  return true;
}

void ServerTable::SetPortIndex(uint8_t type, uint8_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(type);
  if (it != entries_.end()) it->second.portIndex = index;
}

size_t ServerTable::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

// Written whole to a file of its own and renamed over the cache, so a
// reader never sees half a file and two writers never interleave.
bool ServerTable::SaveCache() {
  static std::atomic<unsigned> serial{0};
  std::string path = CacheFilePath();
  std::string temp = path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(serial++);
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ServerEntry> entries;
  for (const auto& item : entries_) entries.push_back(item.second);
  std::vector<uint8_t> bytes = EncodeCache(entries, int64_t(std::time(nullptr)));
  FILE* f = fopen(temp.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (fclose(f) == 0) && ok;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool ServerTable::LoadCache() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(CacheFilePath(), &bytes)) return false;
  CacheContents contents = DecodeCache(bytes.data(), bytes.size());
  for (const ServerEntry& entry : contents.entries) {
    if (entries_.count(entry.type) != 0) continue;  // the table's entry stays
    entries_.emplace(entry.type, entry);
    if (loadLogger_ != nullptr) loadLogger_(entry);
  }
  return contents.ok;
}

}  // namespace relaylink
