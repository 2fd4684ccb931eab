// The base routines beside the log: this library's folder, the product
// version of an executable and the union ID from the registry stand-in.
#ifndef KITORACLE_BASE_BASE_PROC_H_
#define KITORACLE_BASE_BASE_PROC_H_

#include <cstdint>
#include <string>

namespace kitoracle {

// The folder of libkitoracle.so with a trailing '/', then `suffix`; empty
// (after "error GetModuleFileName" and the system error line) on failure.
std::string BaseGetModuleFileName(const char* suffix);

// The product version of the binary at `path` as (a << 48) + (b << 32) +
// (c << 16) + d from its "ProductVersion" text; false with a log line when
// the file has no version record or the text holds fewer than four numbers.
bool BaseGetFileVersion(const std::string& path, uint64_t* version);
// The four numbers of a version text: decimal prefixes separated by ',' or,
// failing that, '.'; spaces before a number skipped. Pure; for tests.
bool ParseProductVersion(const std::string& text, uint64_t* version);

// "UnionID" (32-bit) under SOFTWARE\QENSoft\Hollowmere2013, machine root
// first, then the user's; false when neither holds it.
bool QenRegGetValue(uint32_t* unionId);

}  // namespace kitoracle

#endif  // KITORACLE_BASE_BASE_PROC_H_
