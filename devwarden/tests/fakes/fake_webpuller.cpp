// A download library for tests: knows no package, starts nothing.
#include <cstdint>
#define FAKE_API extern "C" __attribute__((visibility("default")))
FAKE_API void DLSetDownloadPath(const char16_t*) {}
FAKE_API int DLStartDownload(const uint8_t*) { return 0; }
FAKE_API void DLStopDownload(int) {}
FAKE_API int DLGetDownloadStatus(int) { return 7; }
FAKE_API uint64_t DLGetDownloadSize(int) { return 0; }
FAKE_API int DLGetDownloadSpeed(int) { return 0; }
