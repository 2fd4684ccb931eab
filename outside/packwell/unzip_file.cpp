// unZipFile over libzip: one entry, streamed into a temporary file that is
// renamed into place, so a failed extraction leaves no partial destination.
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "packwell.h"

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int unZipFile(const char* archive, const char* entry, const char* destination) {
  if (archive == nullptr || entry == nullptr || destination == nullptr || archive[0] == '\0' ||
      entry[0] == '\0' || destination[0] == '\0') {
    return kPackwellBadArgument;
  }
  int error = 0;
  zip_t* zip = zip_open(archive, ZIP_RDONLY, &error);
  if (zip == nullptr) return kPackwellArchiveError;
  zip_int64_t index = zip_name_locate(zip, entry, 0);
  if (index < 0) {
    zip_discard(zip);
    return kPackwellNoEntry;
  }
  zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) {
    zip_discard(zip);
    return kPackwellArchiveError;
  }
  std::string temp = std::string(destination) + ".partXXXXXX";
  int fd = mkstemp(&temp[0]);
  int result = fd < 0 ? kPackwellWriteError : kPackwellOk;
  char buffer[64 * 1024];
  while (result == kPackwellOk) {
    zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
    if (n < 0) {
      result = kPackwellArchiveError;  // corrupt data or a CRC mismatch
    } else if (n == 0) {
      break;
    } else if (!WriteAll(fd, buffer, static_cast<size_t>(n))) {
      result = kPackwellWriteError;
    }
  }
  zip_fclose(file);
  zip_discard(zip);
  if (fd >= 0) {
    if (result == kPackwellOk && fchmod(fd, 0644) != 0) result = kPackwellWriteError;
    if (close(fd) != 0 && result == kPackwellOk) result = kPackwellWriteError;
    if (result == kPackwellOk && rename(temp.c_str(), destination) != 0) result = kPackwellWriteError;
    if (result != kPackwellOk) unlink(temp.c_str());
  }
  return result;
}
