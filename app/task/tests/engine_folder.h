// The real swarmload and download engine for a test: a temporary root that
// holds a program folder with links to the built libraries (SWARMLOAD_LIBRARY,
// ENGINE_LIBRARY, KITORACLE_DOUBLE, HOSTMARK_LIBRARY, defined by the test's
// target), its log folder, the engine's work folder "work/" and the download
// folder "apps/"; and the task manager's paths in a child program.
#pragma once

#include <filesystem>
#include <string>

#include "app/task/auto_task_mgr.h"
#include "foundation/base/code_page.h"

namespace task_test {

#ifdef SWARMLOAD_LIBRARY
// Lays out `root` (made by the caller); the program folder is root + "/program".
inline void MakeEngineFolder(const std::string& root) {
  const std::string program = root + "/program";
  for (const std::string& dir : {program, program + "/log", root + "/work", root + "/apps"}) {
    std::filesystem::create_directories(dir);
  }
  std::filesystem::create_symlink(SWARMLOAD_LIBRARY, program + "/libswarmload.so");
  std::filesystem::create_symlink(ENGINE_LIBRARY, program + "/libxldl.so");
  std::filesystem::create_symlink(KITORACLE_DOUBLE, program + "/libkitoracle.so");
  std::filesystem::create_symlink(HOSTMARK_LIBRARY, program + "/libHostmark.so");
}
#endif

// A child program's manager paths from its arguments: the download folder
// (with its icons and downlist.dat), the engine's work folder and library.
inline TaskPaths ChildTaskPaths(const char* download_folder, const char* work, const char* library) {
  TaskPaths paths;
  paths.download_folder = AnsiToWString(download_folder);
  paths.icon_folder = paths.download_folder + u"icon/";
  paths.list_file = paths.download_folder + u"downlist.dat";
  paths.engine_work = AnsiToWString(work);
  paths.engine_library = AnsiToWString(library);
  return paths;
}

}  // namespace task_test
