#!/bin/sh
# check_hidden_symbols.sh <folder>...
# Fails when a shared library lib*.so in one of the folders exports a C++
# symbol of the base library (namespace base or platform, CIniFile, CCrc32,
# CXmlDocument, ...). Each library carries its own private copy of that code;
# an exported copy would merge with another library's at load time.
set -u
pattern='(^|[^A-Za-z0-9_])(base::|platform::|CIniFile|CCrc32|CXmlDocument|CBase_FileVersionInfo|CBaseQueuethread|CBaseOperThread|CSingleTaskMgr|CBaseTask|CLogInOut|base_Mutex|base_MutexGuard|CBase_threadSemaphore|MultiByteToWString|WStringToMultiByte|ConvertCodePage|AnsiToWString|WStringToAnsi|WStringToAnsiOut|AnsiToWStringOut|AnsiToWideBuffer|WideToAnsiBuffer|UrlEncode|HexDigit|GetModuleDirectoryA|GetCurrentModuleTitle|GetFileNameOfPath|GetDirectoryOfPath|GetFileTitleOfPath|FileExists|PrepareDirectory|DeleteDirectoryTree)([^A-Za-z0-9_]|$)'
status=0
checked=0
for folder in "$@"; do
  for lib in "$folder"/lib*.so; do
    [ -f "$lib" ] || continue
    checked=$((checked + 1))
    leaks=$(nm -D --defined-only "$lib" | awk '$3 ~ /^_Z/ { print $3 }' | c++filt | grep -E "$pattern")
    if [ -n "$leaks" ]; then
      echo "$lib exports base library symbols:"
      echo "$leaks" | sed 's/^/  /'
      status=1
    fi
  done
done
echo "checked $checked libraries"
exit $status
