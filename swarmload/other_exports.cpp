// The counted start and close, the proxy, the plain download and the fixed
// stubs the program's function table expects.
#include <cstring>
#include <memory>

#include "engine.h"
#include "foundation/base/code_page.h"
#include "host_services.h"
#include "module_state.h"
#include "swarmload.h"

namespace {

using namespace swarmload;

// Copies `text` (narrow) into a UTF-16 field of `units` units; false when
// it would not fit with its NUL.
bool FillField(char16_t* field, size_t units, const char* text) {
  const std::u16string wide = AnsiToWString(text != nullptr ? text : "");
  if (wide.size() >= units) return false;
  std::memcpy(field, wide.data(), wide.size() * sizeof(char16_t));
  return true;
}

void CopyOut(char16_t* out, int32_t units, const char16_t* field, size_t field_units) {
  if (out == nullptr || units <= 0) return;
  size_t length = 0;
  while (length < field_units && field[length] != 0) ++length;
  if (length >= static_cast<size_t>(units)) length = 0;  // does not fit: an empty text
  std::memcpy(out, field, length * sizeof(char16_t));
  out[length] = 0;
}

}  // namespace

SWARMLOAD_API int P2SPInit(const char* work_folder) {
  CountedInit(work_folder);
  return 1;
}

SWARMLOAD_API void P2SPClose(void) { CountedClose(); }

SWARMLOAD_API bool P2SPSetProxy(const char* host, uint16_t port, const char* user, const char* password,
                                const char* domain, uint8_t type, uint8_t flag) {
  auto record = std::make_unique<XlProxyRecord>();
  std::memset(record.get(), 0, sizeof(XlProxyRecord));
  record->direct = type == 0 ? 1 : 0;
  record->flag = flag;
  record->type = type;
  record->always_one = 1;
  record->port = port;
  if (!FillField(record->host, 2048, host) || !FillField(record->user, 50, user) ||
      !FillField(record->password, 50, password) || !FillField(record->domain, 2048, domain)) {
    return false;  // texts longer than the record's arrays are refused
  }
  {
    base_MutexGuard guard(&EngineLock());
    std::memcpy(&StoredProxy(), record.get(), sizeof(XlProxyRecord));
  }
  switch (EnsureEngineStarted()) {
    case EngineStart::kMissing:
      return false;
    case EngineStart::kNotStarted:
      return true;
    case EngineStart::kStarted:
      break;
  }
  const PfnXL_SetProxy set = Engine().set_proxy;
  return set != nullptr && set(record.get()) != 0;
}

SWARMLOAD_API uint8_t P2SPGetProxy(char16_t* host, int32_t host_units, uint16_t* port, char16_t* user,
                                   int32_t user_units, char16_t* password, int32_t password_units, uint8_t* type,
                                   uintptr_t) {
  base_MutexGuard guard(&EngineLock());
  const XlProxyRecord& record = StoredProxy();
  CopyOut(host, host_units, record.host, 2048);
  CopyOut(user, user_units, record.user, 50);
  CopyOut(password, password_units, record.password, 50);
  if (port != nullptr) *port = static_cast<uint16_t>(record.port);
  const uint8_t stored_type = static_cast<uint8_t>(record.type);
  if (type != nullptr) *type = stored_type;
  return stored_type;
}

SWARMLOAD_API bool P2SPWininetDown(const char16_t* url, const char16_t* file) {
  if (url == nullptr || file == nullptr) return false;
  return WininetDownload(url, file);
}

SWARMLOAD_API int P2SPCheckTask(const char*, int) { return 0; }
SWARMLOAD_API int P2SPGetAllTaskSpeed(void) { return 0; }
SWARMLOAD_API int P2SPGetAllTaskUrl(uintptr_t, uintptr_t) { return 0; }
SWARMLOAD_API bool P2SPGetDigest(uintptr_t, uintptr_t) { return false; }
SWARMLOAD_API bool P2SPGetProperty(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return false; }
SWARMLOAD_API bool P2SPGetServer(uintptr_t, uintptr_t) { return false; }
SWARMLOAD_API int P2SPGetTaskConnectedPeers(const char*) { return 0; }
SWARMLOAD_API int P2SPGetTaskErrorMsg(const char*) { return 0; }
SWARMLOAD_API int P2SPGetTaskErrorPeers(const char*) { return 0; }
SWARMLOAD_API int P2SPGetTaskSearchPeers(const char*) { return 0; }
SWARMLOAD_API int P2SPGetUploadSpeed(void) { return 0; }
SWARMLOAD_API void P2SPNetWorkStatusCallback(uintptr_t, uintptr_t) {}
SWARMLOAD_API bool P2SPRun(void) { return true; }
SWARMLOAD_API bool P2SPRunTask(const char*, int) { return true; }
SWARMLOAD_API bool P2SPSetProperty(const char*, const void*, int) { return false; }
SWARMLOAD_API void P2SPSetServerAddr(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) {}
SWARMLOAD_API void P2SPSetTaskType(uintptr_t, uintptr_t) {}
SWARMLOAD_API void P2SPStop(void) {}
SWARMLOAD_API int P2SPTestProxy(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 0; }
