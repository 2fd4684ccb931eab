// A program that starts one download through the task manager and the real
// engine, then waits to be killed: the engine resume test kills it halfway.
// Arguments: download folder, engine work folder, engine library, URL.
#include <unistd.h>

#include <cstdio>

#include "app/task/auto_task_mgr.h"
#include "app/task/tests/engine_folder.h"
#include "foundation/base/code_page.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  TaskPhoneSide side;
  side.is_connected = [] { return false; };
  CAutoTaskMgr manager(task_test::ChildTaskPaths(argv[1], argv[2], argv[3]), side, 100);
  manager.Init();
  if (!manager.StartDownload(AnsiToWString(argv[4]).c_str(), u"续传", nullptr, nullptr, nullptr)) return 3;
  std::puts("started");
  std::fflush(stdout);
  for (;;) pause();
}
