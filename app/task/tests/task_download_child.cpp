// A program that starts one download through the task manager and the real
// engine, then waits to be killed: the engine resume test kills it halfway.
// Arguments: download folder, engine work folder, engine library, URL.
#include <unistd.h>

#include <cstdio>

#include "app/task/auto_task_mgr.h"
#include "foundation/base/code_page.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  TaskPaths paths;
  paths.download_folder = AnsiToWString(argv[1]);
  paths.icon_folder = paths.download_folder + u"icon/";
  paths.list_file = paths.download_folder + u"downlist.dat";
  paths.engine_work = AnsiToWString(argv[2]);
  paths.engine_library = AnsiToWString(argv[3]);
  TaskPhoneSide side;
  side.is_connected = [] { return false; };
  CAutoTaskMgr manager(paths, side, 100);
  manager.Init();
  if (!manager.StartDownload(AnsiToWString(argv[4]).c_str(), u"续传", nullptr, nullptr, nullptr)) return 3;
  std::puts("started");
  std::fflush(stdout);
  for (;;) pause();
}
