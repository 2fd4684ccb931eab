// Files of the user's own inside folders every user shares (the temporary
// folder, /dev/shm, the runtime folder): a per-user folder created 0700
// whose owner and type are checked, files read through no link and with a
// size limit, and files rewritten through an exclusive temporary and a
// rename.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Makes `path` (mode 0700) when it is missing. True when it is then a real
// folder (not a link) owned by the calling user and open to no one else; a
// folder of the user's with a wider mode is narrowed to 0700. Otherwise
// false, with the reason in *error ("<path>: owned by uid 1001", ...).
bool EnsurePrivateFolder(const std::string& path, std::string* error);

// Checks an open descriptor: owned by the calling user, and with none of
// `forbidden_mode` bits set. False, with the reason, otherwise.
bool CheckOwnDescriptor(int fd, mode_t forbidden_mode, std::string* error);

// Reads the regular file `path` (never through a link), owned by the calling
// user and at most `max_bytes` long. False with the reason otherwise (a
// missing file: error "missing").
bool ReadOwnFile(const std::string& path, size_t max_bytes, std::vector<uint8_t>* out, std::string* error);

// Writes `bytes` to a new temporary beside `path` (created with
// O_CREAT|O_EXCL|O_NOFOLLOW, mode 0600) and renames it over `path`.
bool ReplaceOwnFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace platform
