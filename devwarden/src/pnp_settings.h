// PnpSettings: what the setters store before start-up. One per process,
// made with its defaults on first use, dropped by PNP_UnInit (the next use
// makes a fresh one).
#ifndef DEVWARDEN_SRC_PNP_SETTINGS_H_
#define DEVWARDEN_SRC_PNP_SETTINGS_H_

#include <cstdint>
#include <string>

namespace devwarden {

struct PnpSettings {
  int work_mode = 0;
  std::u16string work_path;
  std::u16string download_path;   // default: <host program folder>/drivers
  std::u16string adb_device_name;
  int detect_class = -1;          // all classes
  uint16_t union_id = 1111;
  uint32_t version_low = 0;
  uint32_t version_high = 0;

  uint64_t ClientVersion() const { return static_cast<uint64_t>(version_high) << 32 | version_low; }
  bool Enabled(int bit) const { return work_mode == 0 || (work_mode & bit) != 0; }
};

// Threading: every access goes through these calls, which hold one lock for
// the copy; no reference into the record leaves them.
PnpSettings GetSettings();
void UpdateSettings(void (*edit)(PnpSettings&, const void*), const void* arg);
template <typename F>
void EditSettings(F&& edit) {
  UpdateSettings([](PnpSettings& s, const void* f) { (*static_cast<const F*>(f))(s); }, &edit);
}
void ResetSettings();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_PNP_SETTINGS_H_
