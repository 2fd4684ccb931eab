// The folder of the module that holds kitfinder's code, and the log macro.
// kitfinder writes "log/kitfinder.log" through the base log it shares with
// kitoracle (kitoracle/base/kit_log.h): each library links its own copy.
#ifndef KITFINDER_SRC_MODULE_FOLDER_H_
#define KITFINDER_SRC_MODULE_FOLDER_H_

#include <string>

#include "kitoracle/base/kit_log.h"

namespace kitfinder {

// That folder with a trailing '/', followed by `suffix`; empty when it
// cannot be found (logged).
std::string OwnModuleFolder(const char* suffix);

}  // namespace kitfinder

#endif  // KITFINDER_SRC_MODULE_FOLDER_H_
