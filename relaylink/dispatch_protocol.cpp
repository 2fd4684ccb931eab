#include "dispatch_protocol.h"

namespace relaylink {
namespace {

uint16_t GetLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void PutLe16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(uint8_t(v));
  out->push_back(uint8_t(v >> 8));
}

void PutHost(std::vector<uint8_t>* out, const std::string& host) {
  size_t n = host.size() > 0xFFFF ? 0xFFFF : host.size();
  PutLe16(out, uint16_t(n));
  out->insert(out->end(), host.begin(), host.begin() + n);
}

}  // namespace

std::vector<uint8_t> ServerListRequest() { return {0x02, 0x00}; }

std::vector<uint8_t> ServerAddrRequest(uint8_t type) { return {0x04, 0x00, type}; }

size_t ReadLengthString(size_t bytesLeft, const uint8_t* data, std::string* out) {
  if (bytesLeft < 2) return 0;
  size_t n = GetLe16(data);
  if (n > bytesLeft - 2) return 0;
  out->assign(reinterpret_cast<const char*>(data + 2), n);
  return 2 + n;
}

ServerListResult ParseServerList(const uint8_t* data, size_t length) {
  ServerListResult result;
  if (data == nullptr || length < 4) return result;
  size_t count = GetLe16(data + 2);
  size_t offset = 4;
  std::vector<DispatchEntry> entries;
  for (size_t i = 0; i < count; ++i) {
    if (length - offset < 7) return result;
    DispatchEntry entry;
    entry.type = data[offset];
    entry.port0 = GetLe16(data + offset + 1);
    entry.port1 = GetLe16(data + offset + 3);
    entry.port2 = GetLe16(data + offset + 5);
    offset += 7;
    size_t used = ReadLengthString(length - offset, data + offset, &entry.host);
    if (used == 0) return result;
    offset += used;
    entries.push_back(std::move(entry));
  }
  result.entries = std::move(entries);
  result.ok = true;
  return result;
}

ServerAddrResult ParseServerAddrReply(const uint8_t* data, size_t length) {
  ServerAddrResult result;
  if (data == nullptr || length < 11) return result;
  result.entry.type = data[2];
  result.entry.port0 = GetLe16(data + 3);
  result.entry.port1 = GetLe16(data + 5);
  result.entry.port2 = GetLe16(data + 7);
  if (ReadLengthString(length - 9, data + 9, &result.entry.host) == 0) return result;
  result.ok = true;
  return result;
}

std::vector<uint8_t> EncodeServerList(const std::vector<DispatchEntry>& entries) {
  std::vector<uint8_t> out{0x00, 0x00};
  PutLe16(&out, uint16_t(entries.size()));
  for (const DispatchEntry& entry : entries) {
    out.push_back(entry.type);
    PutLe16(&out, entry.port0);
    PutLe16(&out, entry.port1);
    PutLe16(&out, entry.port2);
    PutHost(&out, entry.host);
  }
  return out;
}

std::vector<uint8_t> EncodeServerAddrReply(const DispatchEntry& entry) {
  std::vector<uint8_t> out{0x00, 0x00, entry.type};
  PutLe16(&out, entry.port0);
  PutLe16(&out, entry.port1);
  PutLe16(&out, entry.port2);
  PutHost(&out, entry.host);
  return out;
}

}  // namespace relaylink
