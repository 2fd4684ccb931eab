#include "android_model.h"

#include <cstdlib>
#include <cstring>

#include "base/base_proc.h"
#include "base/base_string.h"
#include "bindings/kitfinder_interface.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace devwarden {

namespace {

constexpr int kXmlCapacity = 1024;

struct VendorRow {
  uint16_t vendor_id;
  const char16_t* name;
};

// Searched in this order; the first row whose name contains the text wins.
constexpr VendorRow kVendors[] = {
    {0x18D1, u"Google"},          {0x04E8, u"Samsung"},
    {0x1004, u"LG"},              {0x1004, u"LGE"},
    {0x2717, u"xiaomi"},          {0x0BB4, u"htc"},
    {0x12D1, u"HUAWEI"},          {0x19D2, u"ZTE"},
    {0x17EF, u"Lenovo"},          {0x201E, u"Haier"},
    {0x109B, u"Hisense"},         {0x24E3, u"K-Touch"},
    {0x2116, u"KT Tech"},         {0x22B8, u"Motorola"},
    {0x054C, u"Sony"},            {0x0FCE, u"Sony Ericsson"},
    {0x0502, u"Acer"},            {0x0B05, u"ASUS"},
    {0x413C, u"Dell"},            {0x0489, u"Foxconn"},
    {0x04C5, u"Fujitsu"},         {0x04C5, u"Fujitsu Toshiba"},
    {0x091E, u"Garmin-Asus"},     {0x0482, u"Kyocera"},
    {0x0E8D, u"MTK"},             {0x0409, u"NEC"},
    {0x2080, u"Nook"},            {0x0955, u"Nvidia"},
    {0x2257, u"OTGV"},            {0x10A9, u"Pantech"},
    {0x1D4D, u"Pegatron"},        {0x0471, u"Philips"},
    {0x04DA, u"PMC-Sierra"},      {0x05C6, u"Qualcomm"},
    {0x1F53, u"SK Telesys"},      {0x04DD, u"Sharp"},
    {0x2340, u"Teleepoch"},       {0x0930, u"Toshiba"},
    {0x0451, u"Texas Instruments"}, {0x0525, u"Netchip"},
    {0x0547, u"Anchor Chips"},    {0x0955, u"NVidia"},
    {0x1286, u"Marvell"},         {0x1782, u"Spreadtrum"},
    {0x1949, u"Lab126"},
};
static_assert(sizeof(kVendors) / sizeof(kVendors[0]) == 45, "45 makers");

// Copies the text of child `name` (searched after the cursor) into a field.
template <size_t N>
bool CopyChild(CXmlDocument& doc, const char16_t* name, char16_t (&field)[N], const char* log_format = nullptr) {
  if (!doc.FindElement(name)) return false;
  const std::u16string text = doc.GetData();
  CopyWideText(field, N, text.c_str());
  if (log_format) PD_LOG_TRACE(log_format, ToUtf8(field).c_str());
  return true;
}

}  // namespace

bool ParseAndroidXml(const std::u16string& xml, AndroidModelInfo* destination) {
  CXmlDocument doc;
  if (!doc.SetDocument(xml)) {
    PD_LOG_ERROR("Android Xml format err!");
    return false;
  }
  AndroidModelInfo record;
  std::memset(&record, 0, sizeof record);
  record.version = PNP_MODEL_INFO_VERSION;
  record.size = PNP_MODEL_INFO_SIZE;
  int count = 0;
  doc.ResetPosition();
  if (doc.FindElement(u"Infos") && doc.IntoElement()) {
    while (doc.FindElement(u"Info")) {
      doc.IntoElement();
      CopyChild(doc, u"Key", record.Key, "Key[%s]");
      CopyChild(doc, u"BrandName", record.BrandName, "BrandName[%s]");
      CopyChild(doc, u"DeviceName1", record.DeviceName1, "device_name[%s]");
      CopyChild(doc, u"DeviceName2", record.DeviceName2, "popular_name[%s]");
      if (doc.FindElement(u"Photo") && doc.GetAttribute(u"Type") == u"1") {
        doc.IntoElement();
        CopyChild(doc, u"Size", record.Size);
        CopyChild(doc, u"URL", record.URL, "URL[%s]");
        CopyChild(doc, u"P", record.P);
        CopyChild(doc, u"Q", record.Q);
        CopyChild(doc, u"R", record.R);
        CopyChild(doc, u"S", record.S);
        doc.OutOfElement();
      }
      doc.OutOfElement();
      ++count;
    }
  }
  if (destination) std::memcpy(destination, &record, sizeof record);
  return count > 0;
}

std::vector<std::u16string> StrayAdbNames() {
  const char* over = std::getenv("PHONEDECK_STRAY_ADB_NAMES");
  if (!over) return {u"adb.exe", u"tadb.exe", u"mavo_adb.exe"};
  std::vector<std::u16string> names;
  std::string list = over;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) names.push_back(AnsiToWString(list.substr(start, comma - start)));
    start = comma + 1;
  }
  return names;
}

int GetMobileProductInfo(uint16_t vendor_id, uint16_t product_id, const char16_t* adb_name,
                         const char16_t* product, const char16_t* serial, AndroidModelInfo* destination) {
  PD_LOG_TRACE("Android GET Android xml Begin !");
  // Stray copies of the user's that may hold the phone; never a server (the
  // program's own adb server, or one another program uses), nor an adb
  // command of the program's own (an install running meanwhile).
  for (const std::u16string& name : StrayAdbNames()) KillProcessByName(name, true);
  PD_LOG_TRACE("GetMobileProductInfo[%s][%s][%s]", ToUtf8(adb_name).c_str(), ToUtf8(product).c_str(),
               ToUtf8(serial).c_str());
  char16_t xml[kXmlCapacity + 1] = {};
  const int answer = Kitfinder().GetMobileProductInfo(vendor_id, product_id, adb_name ? adb_name : u"",
                                                      product ? product : u"", serial ? serial : u"", xml,
                                                      kXmlCapacity);
  xml[kXmlCapacity] = 0;  // an answer that filled the buffer still ends here
  if (answer == 0) {
    if (ParseAndroidXml(xml, destination)) {
      PD_LOG_TRACE("Android GET Android xml success !");
      return 1;
    }
    PD_LOG_ERROR("Android GET Android xml _ParseAndroidXml Failed !");
  }
  PD_LOG_ERROR("Android GET Android xml Failed !");
  return 0;
}

uint16_t FindVendorIdByName(const char16_t* name) {
  if (!name || !name[0]) return 0;  // an empty text would match every maker
  const std::u16string wanted(name);
  for (const VendorRow& row : kVendors) {
    if (ContainsNoCase(row.name, wanted)) return row.vendor_id;
  }
  return 0;
}

}  // namespace devwarden
