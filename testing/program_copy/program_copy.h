// What a test or benchmark needs to run the real program as installed: a
// program folder of its own that holds the build's files.
#pragma once

#include <filesystem>
#include <system_error>

namespace program_copy {

// Fills `to` with the files of `from` as hard links (copies where linking
// fails), folders made anew, its logs left out: a program folder that the
// dynamic loader sees as one folder, like an installed copy. False when a
// file could not be placed.
inline bool LinkTree(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(from, error)) {
    const std::filesystem::path target = to / entry.path().filename();
    if (entry.path().filename() == "log") continue;
    if (entry.is_directory()) {
      if (!std::filesystem::create_directory(target, error) && error) return false;
      if (!LinkTree(entry.path(), target)) return false;
      continue;
    }
    std::filesystem::create_hard_link(entry.path(), target, error);
    if (error && !std::filesystem::copy_file(entry.path(), target, error)) return false;
  }
  return !error;
}

}  // namespace program_copy
