// QENCompress and QENDecompress over zlib.
#include <zlib.h>

#include "packwell.h"

namespace {

int FromZlib(int rc) {
  switch (rc) {
    case Z_OK: return kPackwellOk;
    case Z_BUF_ERROR: return kPackwellBufferTooSmall;
    case Z_MEM_ERROR: return kPackwellBufferTooSmall;
    default: return kPackwellDataError;
  }
}

}  // namespace

#ifndef PACKWELL_WITHOUT_COMPRESS
int QENCompress(const unsigned char* source, unsigned long source_length, unsigned char* dest,
                unsigned long* dest_length) {
  if ((source == nullptr && source_length != 0) || dest == nullptr || dest_length == nullptr) {
    return kPackwellBadArgument;
  }
  uLongf length = *dest_length;
  int rc = compress2(dest, &length, source, source_length, Z_BEST_COMPRESSION);
  if (rc == Z_OK) *dest_length = length;
  return FromZlib(rc);
}
#endif

int QENDecompress(const unsigned char* source, unsigned long source_length, unsigned char* dest,
                  unsigned long* dest_length) {
  if (source == nullptr || dest == nullptr || dest_length == nullptr) return kPackwellBadArgument;
  uLongf length = *dest_length;
  int rc = uncompress(dest, &length, source, source_length);
  if (rc == Z_OK) *dest_length = length;
  return FromZlib(rc);
}
