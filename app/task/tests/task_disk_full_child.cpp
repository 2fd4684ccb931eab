// A program whose files may not grow past a limit (RLIMIT_FSIZE, as a full
// disk: every write past it fails), running the task manager over the real
// engine: it downloads a file larger than the limit, reports how that task
// ended, then downloads a small file and reports where it landed.
// Arguments: download folder, engine work folder, engine library, large
// URL, small URL, the limit in bytes. Lines on stdout:
//   failed <state> <detail>     the large download ended (or "timeout")
//   small <apk path>            the small download is there (or "timeout")
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/task/auto_task_mgr.h"
#include "app/task/tests/engine_folder.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"

namespace {

template <typename Done>
bool WaitFor(Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) return 2;
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the program
  const rlim_t limit = std::strtoull(argv[6], nullptr, 10);
  const rlimit bound{limit, limit};
  if (setrlimit(RLIMIT_FSIZE, &bound) != 0) return 4;

  TaskPhoneSide side;
  side.is_connected = [] { return false; };
  CAutoTaskMgr manager(task_test::ChildTaskPaths(argv[1], argv[2], argv[3]), side, 100);
  manager.Init();

  const std::u16string large = AnsiToWString(argv[4]);
  const uint32_t large_id = Utf16LeCrc32(large);
  if (!manager.StartDownload(large.c_str(), u"大应用", nullptr, nullptr, nullptr)) return 3;
  const bool ended = WaitFor([&] {
    std::unique_ptr<SOnlineTask> task = manager.FindOnlineTask(large_id);
    return task && (task->state == kTaskDownloadFailed || task->state == kTaskEndedWithoutResult);
  });
  if (!ended) {
    std::puts("failed timeout");
  } else {
    std::unique_ptr<SOnlineTask> task = manager.FindOnlineTask(large_id);
    std::printf("failed %d %d\n", task->state, task->state_detail);
  }
  std::fflush(stdout);

  const std::u16string small = AnsiToWString(argv[5]);
  const uint32_t small_id = Utf16LeCrc32(small);
  if (!manager.StartDownload(small.c_str(), u"小应用", nullptr, nullptr, nullptr)) return 3;
  if (WaitFor([&] { return manager.IsExistOffTask(small_id); })) {
    std::printf("small %s\n", WStringToAnsi(manager.FindOfflineTask(small_id)->file_path).c_str());
  } else {
    std::puts("small timeout");
  }
  std::fflush(stdout);
  return 0;
}
