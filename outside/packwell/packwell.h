// libPackwell.so: compression. Buffers through zlib, ZIP entries (an APK is
// a ZIP) through libzip. Paths are UTF-8.
#pragma once

#define PACKWELL_API extern "C" __attribute__((visibility("default")))

// Result codes of every export.
enum PackwellResult {
  kPackwellOk = 0,
  kPackwellBadArgument = 1,
  kPackwellBufferTooSmall = 2,
  kPackwellDataError = 3,     // not zlib data, or corrupt
  kPackwellArchiveError = 4,  // the archive cannot be opened or read
  kPackwellNoEntry = 5,       // no entry of that name in the archive
  kPackwellWriteError = 6,    // the destination cannot be written
};

// zlib-compresses `source`; `*dest_length` holds the room in `dest` on entry
// and the compressed length on return.
PACKWELL_API int QENCompress(const unsigned char* source, unsigned long source_length,
                             unsigned char* dest, unsigned long* dest_length);
// The reverse of QENCompress, with the same use of `*dest_length`.
PACKWELL_API int QENDecompress(const unsigned char* source, unsigned long source_length,
                               unsigned char* dest, unsigned long* dest_length);
// Extracts the entry named `entry` (exact name, e.g. "res/drawable/icon.png")
// of the ZIP archive `archive` into the file `destination`, replacing it.
PACKWELL_API int unZipFile(const char* archive, const char* entry, const char* destination);

using PfnQENCompress = int (*)(const unsigned char*, unsigned long, unsigned char*, unsigned long*);
using PfnQENDecompress = int (*)(const unsigned char*, unsigned long, unsigned char*, unsigned long*);
using PfnUnZipFile = int (*)(const char* archive, const char* entry, const char* destination);
