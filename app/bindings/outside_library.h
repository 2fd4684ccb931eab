// Loading the outside libraries that sit beside the program, by their
// system names ("Hostmark.dll" is libHostmark.so here).
#pragma once

#include <string>

namespace app {

// The program folder (platform::ProgramDirectory(), with its trailing '/').
std::string ProgramFolder();

// Loads `file_name` from the program folder. Null when it does not load;
// then *error (when given) holds the loader's reason.
void* LoadOutsideLibrary(const std::string& file_name, std::string* error = nullptr);

// Loads a library given by its full path (folder and system name, '/' or
// '\' separated). Null when it does not load.
void* LoadLibraryAtPath(const std::string& path, std::string* error = nullptr);

}  // namespace app
