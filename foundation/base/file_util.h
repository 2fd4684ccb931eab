// Files and folders (UTF-16 paths, '/' separators; UTF-8 on disk).
// No global state; failures show only in the result.
#pragma once

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

// Moves a damaged file out of the way, keeping it: renames `path` to
// "<path>.damaged-YYYYMMDD-HHMMSS" (local time) in the same folder, with
// "-2", "-3", ... added when that name is taken; an existing file is never
// replaced and a link is moved as a link. True when moved; `moved_to`
// (optional) receives the new path.
bool MoveAsideDated(const std::u16string& path, std::u16string* moved_to = nullptr);
