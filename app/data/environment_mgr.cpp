#include "app/data/environment_mgr.h"

#include <atomic>
#include <cstdlib>

#include "app/agent/cmd_package.h"
#include "app/connect/adb_screenshot.h"
#include "app/connect/connect_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"

namespace {

std::u16string LookupInDeviceDatabase(const std::u16string& model) {
  return CConnectMgr::Instance()->GetPhoneDisplayName(model);
}

std::atomic<CEnvironmentMgr::DisplayNameLookup> g_lookup{&LookupInDeviceDatabase};

double ParseSize(const std::u16string& text) { return std::strtod(WStringToAnsi(text).c_str(), nullptr); }

// The flags are set only by the exact text "1".
bool IsOne(const std::u16string& text) { return text == u"1"; }

void ReadSizes(const CXmlDocument& document, PhoneEnvironment& environment) {
  environment.internal_total = ParseSize(document.GetAttribute(u"internalStorageSize"));
  environment.internal_available = ParseSize(document.GetAttribute(u"internalStorageAvaSize"));
  environment.sd_total = ParseSize(document.GetAttribute(u"sdStorageSize"));
  environment.sd_available = ParseSize(document.GetAttribute(u"sdStorageAvaSize"));
}

}  // namespace

void PhoneEnvironment::Reset() {
  const std::u16string name = display_name;
  *this = PhoneEnvironment();
  display_name = name;
}

void CEnvironmentMgr::SetDisplayNameLookup(DisplayNameLookup lookup) {
  g_lookup.store(lookup != nullptr ? lookup : &LookupInDeviceDatabase);
}

CEnvironmentMgr::CEnvironmentMgr() : CDataMgr(0) {}

CEnvironmentMgr::~CEnvironmentMgr() = default;

void CEnvironmentMgr::RequestEnvironment() { SendGet(u"environment"); }

void CEnvironmentMgr::RequestStorage() {
  if (!BeginLoad()) return;
  CXmlDocument request;
  BuildRequestXml(request, u"environment", u"GET");
  SendRequest(u"storagesize_info", request, std::u16string(), false);
}

PhoneEnvironment CEnvironmentMgr::GetEnvironment() {
  base::CSingleLock hold(&DataLock());
  return environment_;
}

void CEnvironmentMgr::SetDeviceSerial(const std::u16string& serial) {
  std::lock_guard<std::mutex> hold(shot_lock_);
  shot_source_ = std::make_unique<ScreenShotSource>(WStringToAnsi(serial));
}

void CEnvironmentMgr::GetScreenShot(const char16_t* path) {
  std::lock_guard<std::mutex> hold(shot_lock_);
  if (shot_source_ == nullptr) return;
  ScreenShotAndPost(*shot_source_, path);
}

void CEnvironmentMgr::OnReply(const std::u16string& command, const std::u16string&, CXmlDocument& document,
                              const CBufferT<unsigned char>&) {
  if (command == u"environment") {
    std::u16string model;
    {
      base::CSingleLock hold(&DataLock());
      if (document.FindElement(u"phone")) {
        environment_.Reset();
        environment_.version_code = document.GetAttribute(u"versionCode");
        environment_.model = document.GetAttribute(u"mobileModel");
        environment_.sd_card = IsOne(document.GetAttribute(u"sdCardSet"));
        environment_.battery_level = ReadDecimal(document.GetAttribute(u"batteryLevel"));
        environment_.rooted = IsOne(document.GetAttribute(u"rootPrivileges"));
        environment_.android_id = document.GetAttribute(u"androidID");
        environment_.sd_root_path = document.GetAttribute(u"sdRootPath");
        ReadSizes(document, environment_);
      }
      model = environment_.model;
    }
    PostPhoneMessage(msg::kEnvironmentParsed, 0, 0);
    // The device database is asked without the data lock held.
    const std::u16string name = g_lookup.load()(model);
    {
      base::CSingleLock hold(&DataLock());
      environment_.display_name = name;
    }
    if (!name.empty()) PostPhoneMessage(msg::kEnvironmentTextReady, 0, 0);
  } else if (command == u"storagesize_info") {
    {
      base::CSingleLock hold(&DataLock());
      if (document.FindElement(u"phone")) ReadSizes(document, environment_);
    }
    PostPhoneMessage(msg::kStorageSizeParsed, 0, 0);
    SetBusy(false);
  }
}
