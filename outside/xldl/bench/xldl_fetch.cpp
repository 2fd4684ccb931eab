// xldl_fetch <url> <folder> [name]: one download through libxldl.so, as the
// benchmark script runs it beside curl and aria2c. Prints the state, the
// bytes and the seconds; exit status 0 when the download finished.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "foundation/base/unicode.h"
#include "xldl.h"

namespace {

void Copy(char16_t* field, const char* text) {
  const std::u16string wide = unicode::Utf8ToUtf16(text, std::strlen(text));
  std::memcpy(field, wide.data(), wide.size() * sizeof(char16_t));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: xldl_fetch <url> <folder> [name]\n");
    return 2;
  }
  auto param = std::make_unique<XlTaskParam>();
  std::memset(param.get(), 0, sizeof(XlTaskParam));
  Copy(param->url, argv[1]);
  Copy(param->save_folder, argv[2]);
  if (argc > 3) Copy(param->file_name, argv[3]);
  const auto start = std::chrono::steady_clock::now();
  XL_Init();
  const XlTaskHandle task = XL_CreateTask(param.get());
  if (task == 0 || XL_StartTask(task) != 1) return 1;
  XlTaskInfo info;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::memset(&info, 0, sizeof info);
    XL_QueryTaskInfo(task, &info);
  } while (info.state == kXlStateRunning);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  XL_DeleteTask(task);
  XL_UnInit();
  std::printf("state %d bytes %llu seconds %.3f\n", info.state, static_cast<unsigned long long>(info.downloaded_size),
              seconds);
  return info.state == kXlStateFinished ? 0 : 1;
}
