// One item of a batch job of the media pages: what became of it, and the
// names an export batch has written into its folder.
//
// Threading: an ExportedNames belongs to one batch's worker.
#pragma once

#include <functional>
#include <set>
#include <string>

// No phone (which ends the walk), or the item's own transfer or request
// worked or failed (the walk goes on; the box counts both).
enum class BatchItem { kNoPhone, kSucceeded, kFailed };

// Phone files of one export batch that share a name would land on one
// local file: the first written keeps it, a later one fails instead of
// replacing it. A file already in the folder before the batch is replaced
// as any export replaces it.
class ExportedNames {
 public:
  // Runs `export_file` for the phone file unless this batch already wrote a
  // file of its name (false then, and nothing runs); the name counts as
  // written once `export_file` answers true.
  bool Export(const std::u16string& phone_file, const std::function<bool()>& export_file);

 private:
  std::set<std::u16string> written_;
};
