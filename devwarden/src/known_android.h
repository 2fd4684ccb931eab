// The set of known Android (vendor id, product id) pairs, read once from the
// enciphered table built into the library.
#ifndef DEVWARDEN_SRC_KNOWN_ANDROID_H_
#define DEVWARDEN_SRC_KNOWN_ANDROID_H_

#include <cstddef>
#include <cstdint>
#include <set>

namespace devwarden {

// Keys: vendor id in the low 16 bits, product id in the high 16 bits.
// Threading: filled once under its own lock by ParseAndroidXML; read after.
const std::set<uint32_t>& KnownAndroidSet();

// Loads the built-in table into KnownAndroidSet unless it holds keys
// already; 1 when the set is not empty afterwards, else 0.
int ParseAndroidXML();

// The load itself over an enciphered table: deciphers, parses and adds the
// pairs to *set. Entries whose hexadecimal text is invalid are skipped; an
// empty table or text that does not parse adds nothing. 1 when *set is not
// empty afterwards.
int LoadAndroidTable(const uint8_t* data, size_t length, std::set<uint32_t>* set);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_KNOWN_ANDROID_H_
