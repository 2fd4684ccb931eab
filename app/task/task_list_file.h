// The task list file downlist.dat: the downloaded apps that are not
// installed yet, one top-level "app" element each, without content, with
// the attributes app_name, task_id (decimal), down_url, file_path and
// icon_path in that order; UTF-8 without a declaration, CR LF after each
// element. Every operation loads the whole file, edits and saves it whole
// (a temporary name renamed over the file); a missing or empty file reads
// as an empty list. A file that is there but from which not one element
// can be read is first moved aside as "downlist.dat.damaged-<date>-<time>"
// and logged, so nothing saves over it; a torn file reads as its whole
// first elements.
//
// Threading: plain functions over the file; the task manager's operations
// on one file are not locked against each other (each is one
// load-edit-save).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/task/task_records.h"

// Writes `task` as the last element. An element with the same task id is
// replaced (removed first), so a task is never listed twice. False when the
// file cannot be written.
bool SaveTaskToList(const std::u16string& list_path, const SOfflineTask& task);

// Removes every element whose task_id is `id` (nothing for 0); the file is
// saved always.
void RemoveTaskFromList(const std::u16string& list_path, uint32_t id);

// The tasks of the file in file order. Elements whose apk file does not
// exist (`file_exists`), whose id does not read as a task id, or whose id
// was already listed are dropped, and then the file is written once with
// the elements kept.
std::vector<SOfflineTask> LoadTaskList(const std::u16string& list_path,
                                       const std::function<bool(const std::u16string&)>& file_exists);
