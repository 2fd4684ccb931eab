// Files and folders (UTF-16 paths, '/' separators; UTF-8 on disk).
// No global state; failures show only in the result.
#pragma once

#include <initializer_list>
#include <string>

// True when the path exists (file, folder, or a symbolic link itself).
bool FileExists(const std::u16string& path);

// Existing path: with `recreate`, delete the tree and create the folder
// again (false when either step fails); without, true and nothing done.
// Missing path: create it (one level; the parent must exist).
bool PrepareDirectory(const std::u16string& path, bool recreate);

// Deletes the folder and everything below it. Symbolic links are removed as
// links, never followed (a link given as `path` itself is refused). Read-only
// files are deleted too. Stops at the first failure (what was deleted stays
// deleted) and returns false; false too for a missing folder.
bool DeleteDirectoryTree(const std::u16string& path);

// Copies the regular file `from` to `to` through a private temporary file
// (O_EXCL, mode 0600) in the target's folder and a rename, so `to` is
// replaced whole and a link at `to` is replaced, never followed. False, with
// nothing left behind, when any step fails.
bool CopyFileReplacing(const std::u16string& from, const std::u16string& to);

// Moves a damaged file out of the way, beside itself, under a dated name:
// "<path>.damaged-YYYYMMDD-HHMMSS" (local time), with "-2", "-3", ... added
// when that name is taken, so no file is ever replaced. Each companion
// "<path><suffix>" that exists (a database's "-journal", ...) follows as
// "<new path><suffix>". The new path, or empty when the file could not be
// moved (it then stays where it was).
std::u16string MoveAsideDated(const std::u16string& path, std::initializer_list<const char16_t*> companions = {});
