// Starts another program on its own, as the desktop starts one: the program
// runs in a session of its own and is not this process's child (nothing is
// left to reap), with no arguments and no shell.
#pragma once

#include <string>

namespace platform {

// False (with the reason) when `path` is not an executable regular file or
// the program cannot be started.
bool StartDetachedProgram(const std::string& path, std::string* error);

}  // namespace platform
