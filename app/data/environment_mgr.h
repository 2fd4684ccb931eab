// CEnvironmentMgr: the facts about the connected phone that its home page
// shows (name, model, Android version, battery, root, Android id, the
// memory card and the four storage sizes), from the agent replies
// "environment" and "storagesize_info" (the latter a request whose command
// id is "environment", handled as the storage sizes only), and the phone's
// screenshots through the adb server's framebuffer.
// Posts: 1228 environment read, 1229 display name known, 1231 storage
// sizes read, 1238 screenshot in memory (the receiver frees it; freed here
// when the post fails), 1239 screenshot written by this grab.
//
// Threading: replies on socket threads, screenshots on the screenshot
// thread, readers on the UI thread. The data lock guards the record, which
// is handed out as a copy; `shot_lock_` holds one grab at a time and the
// grabber.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/data/data_mgr.h"

struct ScreenShotSource;

struct PhoneEnvironment {
  std::u16string display_name;  // "brand/model" from the device database, or empty
  std::u16string version_code;
  std::u16string model;
  bool sd_card = false;
  int32_t battery_level = 0;
  bool rooted = false;
  std::u16string android_id;
  std::u16string sd_root_path;
  double internal_total = 0;
  double internal_available = 0;
  double sd_total = 0;
  double sd_available = 0;

  // Before an "environment" reply is read: everything but the display name.
  void Reset();
};

class CEnvironmentMgr : public CDataMgr {
 public:
  CEnvironmentMgr();
  ~CEnvironmentMgr() override;

  void RequestEnvironment();
  // Nothing while a storage request is outstanding.
  void RequestStorage();
  PhoneEnvironment GetEnvironment();
  // A new grabber for the phone (replaces the previous one).
  void SetDeviceSerial(const std::u16string& serial);
  // One grab: into memory (null path, 1238) or into the file (1239 when
  // this grab wrote it). Nothing without a grabber or when the grab fails.
  void GetScreenShot(const char16_t* path);

  // The display name from a model (the device database); replaceable for
  // tests. Default: CConnectMgr::GetPhoneDisplayName.
  using DisplayNameLookup = std::u16string (*)(const std::u16string& model);
  static void SetDisplayNameLookup(DisplayNameLookup lookup);

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  PhoneEnvironment environment_;  // guarded by the data lock
  std::mutex shot_lock_;          // one grab at a time; guards shot_source_
  std::unique_ptr<ScreenShotSource> shot_source_;
};
