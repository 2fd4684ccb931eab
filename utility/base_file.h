// File services of libutility.so: CBaseFile over buffered streams and the
// _base_ functions for files, folders, path pieces and well-known folders.
// Paths are UTF-8; backslashes in them are taken as separators.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <list>
#include <string>

#include "utility/utility_export.h"

class UTILITY_API CBaseFile {
 public:
  CBaseFile();
  // Closes an open stream. Copies are not allowed: two objects would close
  // one stream twice.
  ~CBaseFile();
  CBaseFile(const CBaseFile&) = delete;
  CBaseFile& operator=(const CBaseFile&) = delete;

  // mode (low 12 bits): bits 1 read, 2 write, 4 append, 8 create, 16 binary;
  // 1 "r", 2-3 "r+", 5-7 "a+", 8 and 10 "w", 11 "w+", 17 "rb", 18-19 "r+b",
  // 26 "wb", 27 "w+b"; any other mode is refused.
  virtual bool Open(const char* path, uint32_t mode);
  virtual bool Close();
  virtual int Read(void* buffer, int count);         // -1 on a stream error, 0 when closed
  virtual int Write(const void* buffer, int count);  // -1 on a stream error, 0 when closed
  virtual bool Seek(int origin, int64_t offset);     // origin 0 start, 1 current, 2 end
  virtual bool IsOpen();
  virtual int64_t GetFileSize();  // keeps the position; 0 when closed
  virtual bool SetFileSize(int64_t size);
  virtual bool IsEof();

 private:
  bool m_open;
  FILE* m_file;
};

UTILITY_API int _base_create_file(const char* path, bool unused);
UTILITY_API int _base_copy_file(const char* source, const char* target, bool unused);
UTILITY_API int _base_delete_file(const char* path);
UTILITY_API bool _base_is_file_exist(const char* path);
UTILITY_API bool _base_rename_file(const char* oldPath, const char* newPath);
// Text after the last "." of the last component (empty without one).
UTILITY_API std::string _base_get_ext_name(const char* path);
// Text after the last "\" or "/" (the whole text without one).
UTILITY_API std::string _base_get_name(const char* path);
// Text before the last "\" or "/" (empty without one).
UTILITY_API std::string _base_get_file_dir(const char* path);
// One level; replace deletes an existing folder with its contents first.
UTILITY_API int _base_create_dir(const char* path, bool replace);
// Does no work; returns -1.
UTILITY_API int _base_copy_dir(const char* source, const char* target, bool unused);
// Deletes the tree; symbolic links are removed, never followed. 1 on
// success, 0 at the first entry that cannot be deleted.
UTILITY_API int _base_delete_dir(const char* path);
UTILITY_API bool _base_is_dir_exist(const char* path);
UTILITY_API bool _base_is_dir(const char* path);
// Appends folder + "/" + name of every file below folder (recursively; links
// to folders are not followed). 0 when a folder cannot be listed, else 1.
UTILITY_API int _base_find_file(const char* folder, std::list<std::string>& files);
// The same, keeping names that begin with prefix (case-insensitive); null keeps all.
UTILITY_API int _base_find_file(const char* folder, const char* prefix, std::list<std::string>& files);
// Copies each file into targetFolder under its own name; the count copied.
UTILITY_API int _base_copy_file_list(const char* targetFolder, const std::list<std::string>& files);
UTILITY_API int _base_get_file_stat(const char* path, struct stat* record);
// Windows folders do not exist here: these give the empty text.
UTILITY_API std::string _base_get_system_dir();
UTILITY_API std::string _base_get_window_dir();
UTILITY_API std::string _base_get_inf_dir();
UTILITY_API std::string _base_get_driver_dir();
UTILITY_API std::string _base_get_help_dir();
// Folder of the running program, without the final separator.
UTILITY_API std::string _base_get_app_path();
UTILITY_API std::string _base_get_current_dir();
UTILITY_API bool _base_set_current_dir(const char* path);
// The user's documents folder (created when missing); the argument is not used.
UTILITY_API std::string _base_get_special_dir(int folder);
// The temporary folder with its trailing separator.
UTILITY_API std::string _base_get_system_temp_path();
