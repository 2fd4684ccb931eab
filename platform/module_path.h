// Paths of the running program and of its loaded modules.
//
// The program's own folder (logs, skin, bundled tools) is the folder of its
// executable. Tests move it with the environment variable
// PHONEDECK_PROGRAM_DIR, which every caller of ProgramDirectory() honours.
#pragma once

#include <string>

namespace platform {

// Name of the environment variable that overrides the program folder.
extern const char kProgramDirEnv[];

// Full path of the running executable (/proc/self/exe); empty on failure.
std::string ExecutablePath();

// Full path of the loaded module (executable or shared library) whose image
// holds `address`; for the executable itself this is ExecutablePath().
// Empty when the address lies in no loaded module.
std::string ModulePathOf(const void* address);

// Full path of the module behind a handle returned by LoadLibraryFrom() (or
// dlopen); a null handle means the executable. Empty on failure.
std::string ModulePathOfHandle(void* handle);

// The program folder with a trailing '/': PHONEDECK_PROGRAM_DIR when set and
// not empty (a missing trailing '/' is added), else the executable's folder.
std::string ProgramDirectory();

}  // namespace platform
