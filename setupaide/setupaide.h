// libsetupaide.so: helpers for the installer and for the program's "-close"
// start. Plain C exports; wide texts are UTF-16, narrow texts UTF-8.
#pragma once

#ifdef __cplusplus
#define SETUPAIDE_EXTERN extern "C"
#else
#define SETUPAIDE_EXTERN
#include <stdbool.h>
#endif

#define SETUPAIDE_API SETUPAIDE_EXTERN __attribute__((visibility("default")))

// Adds a firewall rule that lets `path` (at most 259 characters) through.
// This platform has no per-program firewall rule: always false.
SETUPAIDE_API bool AppendFireWallRule(const char16_t* path);

// Writes a desktop entry that starts `target` into the user's desktop folder
// (`link_name` is a file name; a ".lnk" ending becomes ".desktop").
// 1 when the file was written, 0 otherwise.
SETUPAIDE_API int CreateDestopShortcut(const char16_t* target, const char16_t* link_name);
// The same in the user's applications folder (the desktop's program menu).
SETUPAIDE_API int CreateStartMenuShortCut(const char16_t* target, const char16_t* link_name);

// The number after the first "_" of the program's own file name, else `default_id`.
SETUPAIDE_API int GetUnidByFileName(int default_id);

// Hides the process's windows. This library reaches no window system: it
// only writes its trace line.
SETUPAIDE_API void HideWindow(void);

// Restarts the installer that the user started, silently:
// 1 when a restart was issued, 0 when already silent or nothing to restart.
SETUPAIDE_API int InnoSlientSetup(void);

// Markers in the program's own file name (without regard to case).
SETUPAIDE_API bool IsCreateDeskShort(void);  // "_d"
SETUPAIDE_API bool IsCreateMenuShort(void);  // "_m"
SETUPAIDE_API bool IsSlientName(void);       // "_slient"

// Ends every process whose executable's file name is `image_name`.
SETUPAIDE_API void KillProcessA(const char* image_name);

// Ends every process whose executable lies in `folder` or below it (the
// caller excepted). Returns the number of processes ended.
SETUPAIDE_API int KillProcessByFolder(const char16_t* folder);

#ifdef __cplusplus
// The exports as the program binds them by name.
using PfnKillProcessByFolder = int (*)(const char16_t* folder);
#endif
