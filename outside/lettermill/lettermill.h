// libLettermill.so: HTTP posting over libcurl, with time-outs.
#pragma once

#define LETTERMILL_API extern "C" __attribute__((visibility("default")))

// Prepares HTTP for this process (counted; pair each with UinitPost).
// 1 on success, 0 when libcurl cannot be initialised.
LETTERMILL_API int InitPost(void);
// Releases what the matching InitPost prepared.
LETTERMILL_API void UinitPost(void);

// POSTs `body` to `url` (http or https). `json` non-zero sends the body as
// "application/json; charset=utf-8", else as
// "application/x-www-form-urlencoded". `flags` is reserved (pass 1).
// 1 when the server answered with a 2xx status, 0 otherwise (also before
// InitPost, for a null text, a refused connection or a time-out: 5 s to
// connect, 15 s in all).
LETTERMILL_API unsigned char LettermillEx(const char* url, const char* body, int json, int flags);
// The same post; kept for older callers.
LETTERMILL_API unsigned char Lettermill(const char* url, const char* body, int json, int flags);

using PfnInitPost = int (*)(void);
using PfnUinitPost = void (*)(void);
using PfnLettermill = unsigned char (*)(const char* url, const char* body, int json, int flags);
