// The managers of the phone content that is not kept here yet (pictures,
// music, videos) as the narrow part the phone facade needs of them today:
// each kind's count. The full managers replace these one by one, keeping
// the facade's operations.
//
// Threading: as CDataMgr (replies on socket threads; the count under the
// data lock).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/data/data_mgr.h"

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
