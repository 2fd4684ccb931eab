// Process, system and path helpers of devwarden.
#ifndef DEVWARDEN_SRC_BASE_BASE_PROC_H_
#define DEVWARDEN_SRC_BASE_BASE_PROC_H_

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace devwarden {

// Folder of libdevwarden.so itself (no trailing '/'); empty on failure
// (logged "error GetModuleFileName").
std::string GetModuleDir();
// Folder of the host program (PHONEDECK_PROGRAM_DIR when set), no trailing '/'.
std::string HostProgramFolder();

// First process of the calling user, other than the caller, whose image
// name (file name of its executable) equals `name` without regard to case;
// 0 when none. A ".exe" ending of `name` is ignored, so "adb.exe" finds adb.
// With `strays_only`, two kinds are passed over: a process that listens on
// a TCP port (an adb server: the one the program uses, or one serving
// another program), and one this process started, directly or through its
// children (the program's own adb commands, an install among them).
pid_t FindProcessIdByName(const std::u16string& name, bool strays_only = false);
// Ends at most one such process (SIGTERM, waited for up to 3 s). False when
// none exists ("error proc has not exist.") or it could not be signalled.
bool KillProcessByName(const std::u16string& name, bool strays_only = false);

// The operating-system code for the driver service: 0 on Linux, which the
// service accepts as "a system it has no table for".
int GetOsId();
// 9 when the low four bits of the user's language id are 9, else 2052.
int GetLanguageId();
// ProductVersion of a file's version record, as ParseProductVersion gives it.
bool GetFileProductVersion(const std::string& path, uint64_t* version);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_BASE_BASE_PROC_H_
