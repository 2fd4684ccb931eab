// GetUnionID: the installation's distribution id from the registry stand-in.
#include <atomic>
#include <cstring>

#include "app/config/config_mgr.h"
#include "platform/registry.h"

namespace {

constexpr char kProductKey[] = "Software\\ZelvikSoft\\Zelvik";
constexpr uint16_t kDefaultUnionId = 1110;

std::atomic<uint16_t> g_union_id{0};  // 0 until read

// The value as a number: REG_BINARY or REG_DWORD with data, up to 8 bytes
// little-endian; anything else 0.
uint64_t ReadRegistryQword(platform::RegRoot root) {
  const auto value = platform::RegQueryValue(root, kProductKey, "UnionID");
  if (!value || value->data.empty() ||
      (value->type != platform::kRegBinary && value->type != platform::kRegDword)) {
    return 0;
  }
  uint64_t number = 0;
  for (size_t i = 0; i < value->data.size() && i < 8; ++i) {
    number |= static_cast<uint64_t>(value->data[i]) << (8 * i);
  }
  return number;
}

}  // namespace

uint16_t ReadUnionIDFromRegistry() {
  // The machine key when it can be opened, with or without the value; the
  // user's key only when it cannot.
  const platform::RegRoot root = platform::RegKeyExists(platform::RegRoot::kLocalMachine, kProductKey)
                                     ? platform::RegRoot::kLocalMachine
                                     : platform::RegRoot::kCurrentUser;
  const uint64_t number = ReadRegistryQword(root);
  uint16_t id = static_cast<uint16_t>(number & 0xFFFF);
  return id == 0 ? kDefaultUnionId : id;
}

uint16_t GetUnionID() {
  uint16_t cached = g_union_id.load();
  if (cached != 0) return cached;
  const uint16_t id = ReadUnionIDFromRegistry();
  g_union_id.store(id);
  return id;
}
