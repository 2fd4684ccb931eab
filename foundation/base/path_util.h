// Path helpers of the base library (narrow UTF-8 paths).
#pragma once

#include <string>

// Folder of the running program with its trailing separator; honours
// PHONEDECK_PROGRAM_DIR (see platform/module_path.h).
std::string GetModuleDirectoryA();

// File title of the module (program or shared library) that holds this code.
// A shared library's leading "lib" is stripped as well as its extension, so
// the foundation linked into libdevwarden.so answers "devwarden", the name
// the library goes by everywhere in the system. Empty when the module's file
// name cannot be read.
std::string GetCurrentModuleTitle();

// Part after the last '\\' or '/'; empty when the path has neither.
std::string GetFileNameOfPath(const std::string& path);

// Part before the last '\\' or '/', without it; empty when there is none.
std::string GetDirectoryOfPath(const std::string& path);

// GetFileNameOfPath() without everything from its last '.'.
std::string GetFileTitleOfPath(const std::string& path);
