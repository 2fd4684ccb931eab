// Room for downloads on a filesystem: every download leaves a floor of free
// space untouched, so a download folder running full never fills the disk
// to zero. The floor is 2% of the filesystem, at most 64 MiB;
// $PHONEDECK_XLDL_FREE_FLOOR (bytes, decimal) sets another one.
// Threading: pure apart from the filesystem queries; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace xldl {

constexpr uint64_t kFreeFloorCap = 64ull * 1024 * 1024;

// The floor the environment sets, when it holds a decimal number. Read once
// per transfer (the environment is not read while others may change it).
std::optional<uint64_t> FloorOverride();

// The floor for a filesystem of `filesystem_bytes`: the override when given.
uint64_t FreeFloor(uint64_t filesystem_bytes, std::optional<uint64_t> override_floor);

// Bytes a download may still write above the floor (0 when the free space
// is at or under it), for the filesystem of an open file or of a folder;
// nothing when the filesystem cannot be asked.
std::optional<uint64_t> RoomOfFile(int fd, std::optional<uint64_t> override_floor);
std::optional<uint64_t> RoomOfFolder(const std::string& folder, std::optional<uint64_t> override_floor);

}  // namespace xldl
