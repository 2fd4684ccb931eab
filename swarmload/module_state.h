// State of the library shared by its parts: the three locks, the kitoracle
// binding and the counted start and close.
//
// Locks (base_Mutex, re-entrant):
//  - EngineLock(): the init count, the engine binding and its start,
//    P2SPInit and P2SPClose.
//  - TaskLock(): each single access to the task map and the resolution
//    cache; never held across an engine call or a service call.
//  - DatabaseLock(): the row map and every SQL statement.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/base/locks.h"

namespace swarmload {

base_Mutex& EngineLock();
base_Mutex& TaskLock();
base_Mutex& DatabaseLock();

// kitoracle's entry points as swarmload calls them.
using PfnDSInit = int (*)();
using PfnDSClose = void (*)();
// (digest of 16 bytes, URL out, URL capacity in units, file name out) -> 0 when found.
using PfnDSSearchServerRes = int (*)(const uint8_t* digest, char16_t* url, int32_t url_units, char16_t* name);
// (union id, 16-byte machine identity, kind, UTF-16 text) -> kitoracle's result.
using PfnDSDownloadStatReport = int (*)(uint32_t union_id, const uint8_t* identity, int16_t kind,
                                        const char16_t* text);

struct KitoracleBinding {
  void* module = nullptr;
  PfnDSInit init = nullptr;
  PfnDSClose close = nullptr;
  PfnDSSearchServerRes search = nullptr;
  PfnDSDownloadStatReport report = nullptr;
};

// Set by the first P2SPInit, cleared by the last P2SPClose (under the
// engine lock); read without a lock by the exports in between.
const KitoracleBinding& Kitoracle();

// The work folder given to the first P2SPInit.
const std::u16string& WorkFolder();

// Whether the plain-download session is open (between the first P2SPInit
// and the last P2SPClose).
bool DirectSessionOpen();

// The counted start and close behind P2SPInit and P2SPClose.
void CountedInit(const char* work_folder);
void CountedClose();

}  // namespace swarmload
