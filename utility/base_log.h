// CBaseLog: the process-wide log file of the libraries that link utility,
// and FunctionChecker, a scope tracer for the developer's debug output.
//
// Several libraries share the one log: every OpenLog that opens the file or
// finds it open takes a reference (the second one still returns false and
// keeps the first file), every CloseLog gives one back, and the file closes
// with the last. Unlog destroys the instance only when no reference is left,
// so a library that unloads never closes another's log. Log() may be called
// from any thread; writes are serialised one whole line at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "utility/base_lock.h"
#include "utility/utility_export.h"

class UTILITY_API CBaseLog {
 public:
  virtual ~CBaseLog();
  CBaseLog(const CBaseLog&) = delete;
  CBaseLog& operator=(const CBaseLog&) = delete;

  // The process-wide instance, created on first use.
  static CBaseLog* Log();
  static void Unlog();

  // Opens <program folder>/<name> ("swarmload.log" without a name) for
  // appending, deleting a file over 5,242,880 bytes first. The folder must exist.
  bool OpenLog(const char* name);
  bool IsOpen();
  bool CloseLog();
  // "[Y-MM-DD hh:mm:ss]" and the bytes as given; the count of given bytes written.
  int WriteLog(const char* data, int length);
  // Writes only when level has the bit of value 2: "[YYYY-MM-DD hh:mm:ss] "
  // and the text (cut to 255 bytes), then CR LF.
  void OutFile(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  static CBaseLog* m_log;

 private:
  CBaseLog();

  bool m_open;
  std::string m_path;
  FILE* m_file;
  base_critical_section m_lock;  // guards the stream, the flag and m_references
  int m_references;
};

class UTILITY_API FunctionChecker {
 public:
  // Sends "<name> begin <n>" to the debug output.
  explicit FunctionChecker(const char* name);
  // Sends "<name> end <n>, time use <ms> ms".
  ~FunctionChecker();
  FunctionChecker(const FunctionChecker&) = delete;
  FunctionChecker& operator=(const FunctionChecker&) = delete;

  static uint32_t g_nCheckerCounter;

 private:
  uint32_t m_sequence;
  uint32_t m_startTick;
  std::string m_name;
};
