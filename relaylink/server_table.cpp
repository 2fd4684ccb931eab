#include "server_table.h"

#include <ctime>

#include "platform/private_folder.h"

namespace relaylink {

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

// Written whole to a fresh file of its own (never an existing name, never
// through a link) and renamed over the cache, so a reader never sees half a
// file and two writers never interleave.
bool ServerTable::SaveCache() {
  const std::string path = CacheFilePath();
  if (path.empty()) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ServerEntry> entries;
  for (const auto& item : entries_) entries.push_back(item.second);
  std::vector<uint8_t> bytes = EncodeCache(entries, int64_t(std::time(nullptr)));
  return platform::ReplaceOwnFile(path, bytes, nullptr);
}

// Only a regular file of the user's, of a sane size, is read.
bool ServerTable::LoadCache() {
  const std::string path = CacheFilePath();
  if (path.empty()) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> bytes;
  if (!platform::ReadOwnFile(path, kMaxCacheBytes, &bytes, nullptr)) return false;
  CacheContents contents = DecodeCache(bytes.data(), bytes.size());
  for (const ServerEntry& entry : contents.entries) {
    if (entries_.count(entry.type) != 0) continue;  // the table's entry stays
    entries_.emplace(entry.type, entry);
    if (loadLogger_ != nullptr) loadLogger_(entry);
  }
  return contents.ok;
}

}  // namespace relaylink
