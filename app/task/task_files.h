// The files the task manager made in its download folder, and only those:
// a task's apk "<name>_<task id>.apk" and the download engine's part files
// of it, "<apk>.td" and "<apk>.td.cfg".
//
// Before a name is removed, the folder its path names is resolved and
// compared (device and inode) with the download folder, the name is checked
// against the task id, and the entry must be a regular file; the name is
// then removed inside the download folder opened once, so a path that was
// swapped for a link meanwhile still removes nothing outside it. A user's
// own file, a file in another folder, a link or a folder is never removed.
//
// Threading: plain functions over the file system; any thread.
#pragma once

#include <cstdint>
#include <string>

// Removes `file` when it is task `id`'s apk in `download_folder`; true when
// it was removed.
bool RemoveOwnDownload(const std::u16string& download_folder, const std::u16string& file, uint32_t id);

// Removes the engine's part files of task `id`'s apk `apk` in
// `download_folder`; how many were removed.
int RemovePartFiles(const std::u16string& download_folder, const std::u16string& apk, uint32_t id);
