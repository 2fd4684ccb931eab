#include "known_android.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "android_table_key.h"
#include "base/base_string.h"
#include "base/blowfish.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace devwarden {

// Generated at build time from devwarden/data/android_devices.xml.
extern const uint8_t kAndroidTableData[];
extern const size_t kAndroidTableSize;

namespace {

std::mutex g_load_mu;  // serialises loads and the shared cipher
std::set<uint32_t>& MutableSet() {
  static std::set<uint32_t> set;
  return set;
}

}  // namespace

const std::set<uint32_t>& KnownAndroidSet() { return MutableSet(); }

int LoadAndroidTable(const uint8_t* data, size_t length, std::set<uint32_t>* set) {
  if (!set) return 0;
  if (!data || length == 0) return set->empty() ? 0 : 1;  // nothing to decipher, nothing written
  PD_LOG_TRACE("ParseAndroidXML Begin");
  std::vector<uint8_t> plain(Blowfish::PaddedLength(length) + 1, 0);
  std::memcpy(plain.data(), data, length);
  BlowfishSetKey(reinterpret_cast<const uint8_t*>(kAndroidTableKey), std::strlen(kAndroidTableKey));
  BlowfishDecrypt(plain.data(), length);
  plain[length - 1] = 0;
  const char* text = reinterpret_cast<const char*>(plain.data());

  CXmlDocument doc;
  if (doc.SetDocument(text) && doc.FindElement(u"mobile_devices") && doc.IntoElement()) {
    while (doc.FindElement(u"v")) {
      uint32_t vid = 0;
      const bool vid_ok = HexTextToValue(doc.GetAttribute(u"value"), &vid) && vid <= 0xFFFF;
      doc.IntoElement();
      if (doc.FindElement(u"android") && doc.IntoElement()) {
        while (doc.FindElement(u"n")) {
          uint32_t pid = 0;
          if (vid_ok && HexTextToValue(doc.GetData(), &pid) && pid <= 0xFFFF) set->insert(pid << 16 | vid);
        }
        doc.OutOfElement();
      }
      doc.OutOfElement();
    }
  }
  PD_LOG_TRACE("ParseAndroidXML End");
  return set->empty() ? 0 : 1;
}

int ParseAndroidXML() {
  std::lock_guard<std::mutex> lock(g_load_mu);
  PD_LOG_TRACE("ParseAndroidXML Entry");
  if (!MutableSet().empty()) return 1;
  return LoadAndroidTable(kAndroidTableData, kAndroidTableSize, &MutableSet());
}

}  // namespace devwarden
