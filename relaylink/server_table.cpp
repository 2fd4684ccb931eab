#include "server_table.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>

namespace relaylink {
namespace {

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
