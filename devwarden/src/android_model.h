// The model information of an Android phone: the driver service's XML answer
// (asked through kitfinder) turned into the host's fixed AndroidModelInfo
// record, and the table of phone makers' USB vendor ids.
#ifndef DEVWARDEN_SRC_ANDROID_MODEL_H_
#define DEVWARDEN_SRC_ANDROID_MODEL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "devwarden.h"

namespace devwarden {

// Fills a fresh record (version 1, size 2184) from the answer: every Info of
// Infos in turn, a later one overwriting the fields it holds; photo fields
// only from a first Photo of Type "1". Texts are cut to their fields.
// Copies the record to `destination` (when given) whenever the text parses;
// true when at least one Info was read.
bool ParseAndroidXml(const std::u16string& xml, AndroidModelInfo* destination);

// Stops stray adb copies of the user's (never a server: not the program's
// own adb server, not one serving another program, nothing of another
// user), asks kitfinder for the phone's model answer and
// parses it into *destination; 1 or 0 (destination untouched on failure,
// except by an answer that parses without any Info).
int GetMobileProductInfo(uint16_t vendor_id, uint16_t product_id, const char16_t* adb_name,
                         const char16_t* product, const char16_t* serial, AndroidModelInfo* destination);

// The USB vendor id of the first maker whose name contains `name`, without
// regard to case; 0 when none does, and for a null or empty name.
uint16_t FindVendorIdByName(const char16_t* name);

// The image names of the stray adb copies stopped before a model query:
// "adb.exe", "tadb.exe", "mavo_adb.exe" (".exe" is ignored here), or the
// comma-separated names of PHONEDECK_STRAY_ADB_NAMES when set (tests).
std::vector<std::u16string> StrayAdbNames();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_ANDROID_MODEL_H_
