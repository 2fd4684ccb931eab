// The managers of the phone content that is not kept here yet (contacts,
// SMS, pictures, music, videos, the environment) as the narrow parts the
// phone facade needs of them today: each kind's count, and the environment
// requests and screenshots. The full managers replace these one by one,
// keeping the facade's operations.
//
// Threading: as CDataMgr (replies on socket threads; the count under the
// data lock).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/data/data_mgr.h"

struct ScreenShotSource;

// A kind of content of which only the count is kept: "<kind>_count" is
// answered with `count`/`value`, stored and posted with the count message.
class CCountOnlyMgr : public CDataMgr {
 public:
  CCountOnlyMgr(const char16_t* count_command, uint32_t count_message, uint32_t busy_message);

  void RequestCount() { SendGet(count_command_); }
  int32_t GetCount();

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  std::u16string count_command_;
  uint32_t count_message_;
  int32_t count_ = 0;  // guarded by the data lock
};

// The environment requests ("environment", "storagesize_info") and the
// phone's screenshots through the adb server. The replies are checked and
// logged; reading them into a record is the environment manager's.
class CEnvironmentRequests : public CDataMgr {
 public:
  CEnvironmentRequests();
  ~CEnvironmentRequests() override;

  void SetSerial(const std::u16string& serial);
  void RequestEnvironment() { SendGet(u"environment"); }
  void RequestStorage();
  // One screenshot: into memory (null path, posts 1238) or into the file.
  void GetScreenShot(const char16_t* path);

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  std::mutex shot_lock_;  // one shot at a time; guards shot_source_
  std::unique_ptr<ScreenShotSource> shot_source_;
};
