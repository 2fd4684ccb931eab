#include "disk_room.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>

namespace xldl {

std::optional<uint64_t> FloorOverride() {
  const char* text = std::getenv("PHONEDECK_XLDL_FREE_FLOOR");
  if (text == nullptr || *text < '0' || *text > '9') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != 0) return std::nullopt;
  return static_cast<uint64_t>(value);
}

namespace {

std::optional<uint64_t> RoomOf(const struct statvfs& st, std::optional<uint64_t> override_floor) {
  const uint64_t unit = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
  const uint64_t free_bytes = static_cast<uint64_t>(st.f_bavail) * unit;  // what an ordinary user may take
  const uint64_t floor = FreeFloor(static_cast<uint64_t>(st.f_blocks) * unit, override_floor);
  return free_bytes > floor ? free_bytes - floor : 0;
}

}  // namespace

uint64_t FreeFloor(uint64_t filesystem_bytes, std::optional<uint64_t> override_floor) {
  if (override_floor) return *override_floor;
  const uint64_t share = filesystem_bytes / 50;
  return share < kFreeFloorCap ? share : kFreeFloorCap;
}

std::optional<uint64_t> RoomOfFile(int fd, std::optional<uint64_t> override_floor) {
  struct statvfs st {};
  if (::fstatvfs(fd, &st) != 0) return std::nullopt;
  return RoomOf(st, override_floor);
}

std::optional<uint64_t> RoomOfFolder(const std::string& folder, std::optional<uint64_t> override_floor) {
  struct statvfs st {};
  if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
  return RoomOf(st, override_floor);
}

}  // namespace xldl
