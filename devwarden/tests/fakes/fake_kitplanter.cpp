// An INF setup library for tests: every install fails as an unknown error.
#include <cstdint>
#define FAKE_API extern "C" __attribute__((visibility("default")))
FAKE_API void QENSetDriverPackage(const char16_t*, int) {}
FAKE_API int QENKitplanter(const char16_t*) { return 0; }
