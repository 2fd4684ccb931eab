// libTallyhand.so: usage statistics. Records the program's calls as reports
// (one JSON object each) and sends every report to the statistics endpoint
// through libLettermill.so (loaded from this library's own folder) when the
// environment variable PHONEDECK_STAT_URL names one; otherwise, or when the
// post fails, appends it as one line to <program folder>/log/tallyhand.log.
#pragma once

#include <cstdint>

#define TALLYHAND_API extern "C" __attribute__((visibility("default")))

// Starts recording (counted). Always true once the reports have a place to go.
TALLYHAND_API bool STInit(void);
// Ends recording when the last STInit is matched.
TALLYHAND_API void STUninit(void);

// Identity of the reporting program, carried by every later report.
TALLYHAND_API void STUnionID(uint16_t union_id);
TALLYHAND_API void STAppID(uint8_t app_id);
// 1 when stored, 0 before STInit.
TALLYHAND_API int STVersion(uint64_t version);

// Reports: the program started, stopped, or the user did something.
TALLYHAND_API void STOnline(void);
TALLYHAND_API void STOffline(void);
// `text` holds `length` bytes (need not be NUL-terminated). 1 when the report
// was delivered (posted or written), 0 otherwise.
TALLYHAND_API int STAction(int action, const char* text, int length, uint8_t flag);

// Transport settings of the statistics service's UDP channel. This stand-in
// has no UDP channel: each answers 0 (not supported) and changes nothing.
TALLYHAND_API int STUDPProxy(const char* host, int port);
TALLYHAND_API int STUDPTransfer(int enable);
TALLYHAND_API int STCmdApp(const char* command);
TALLYHAND_API int STEntryAddr(const char* host, int port);

using PfnSTInit = bool (*)(void);
using PfnSTUninit = void (*)(void);
using PfnSTUnionID = void (*)(uint16_t);
using PfnSTAppID = void (*)(uint8_t);
using PfnSTVersion = int (*)(uint64_t);
using PfnSTOnline = void (*)(void);
using PfnSTOffline = void (*)(void);
using PfnSTAction = int (*)(int, const char*, int, uint8_t);
using PfnSTUDPProxy = int (*)(const char*, int);
using PfnSTUDPTransfer = int (*)(int);
using PfnSTCmdApp = int (*)(const char*);
using PfnSTEntryAddr = int (*)(const char*, int);
