// The Blowfish key of the built-in table of known Android devices: the
// product abbreviation, a hyphen and an upper-case GUID (40 ASCII characters).
// Shared by the library and the build tool that enciphers the table.
#ifndef DEVWARDEN_SRC_ANDROID_TABLE_KEY_H_
#define DEVWARDEN_SRC_ANDROID_TABLE_KEY_H_

namespace devwarden {
inline constexpr char kAndroidTableKey[] = "QEN-5E1D7A20-3C4B-4F86-9A12-6B0C8D2E4F73";
static_assert(sizeof(kAndroidTableKey) == 41, "the key has 40 characters");
}  // namespace devwarden

#endif  // DEVWARDEN_SRC_ANDROID_TABLE_KEY_H_
