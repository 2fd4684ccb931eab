// Shared libraries loaded by name at run time.
//
// The system names its libraries as Windows does ("kitfinder",
// "setupaide.dll"); here a library is lib<name>.so in a given folder.
// LibraryFileName() is the one place that maps those names.
#pragma once

#include <string>

namespace platform {

// "kitfinder" -> "libkitfinder.so"; "setupaide.dll" -> "libsetupaide.so";
// a name already ending in ".so" (or holding ".so.") is kept as it is.
std::string LibraryFileName(const std::string& systemName);

// Loads <folder>/LibraryFileName(name) (folder with or without trailing '/').
// Returns the handle, or null; then *error (when given) holds the reason.
void* LoadLibraryFrom(const std::string& folder, const std::string& systemName, std::string* error = nullptr);

// Loads the library file at `path` (as LoadLibraryFrom, without the naming).
void* LoadLibraryPath(const std::string& path, std::string* error = nullptr);

// Address of an exported symbol, or null (also for a null handle).
void* FindSymbol(void* library, const char* name);

// Releases a handle from LoadLibraryFrom() or LoadLibraryPath(); a null handle is ignored.
void FreeLibrary(void* library);

}  // namespace platform
