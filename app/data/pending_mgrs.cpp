#include "app/data/pending_mgrs.h"

#include <cstdlib>

#include "app/core/phone_message.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

CCountOnlyMgr::CCountOnlyMgr(const char16_t* count_command, uint32_t count_message, uint32_t busy_message)
    : CDataMgr(busy_message), count_command_(count_command), count_message_(count_message) {}

int32_t CCountOnlyMgr::GetCount() {
  base::CSingleLock hold(&DataLock());
  return count_;
}

void CCountOnlyMgr::OnReply(const std::u16string& command, const std::u16string&, CXmlDocument& document,
                            const CBufferT<unsigned char>&) {
  if (command != count_command_ || !document.FindElement(u"count")) return;
  const int32_t count =
      static_cast<int32_t>(std::strtol(WStringToAnsi(document.GetAttribute(u"value")).c_str(), nullptr, 10));
  {
    base::CSingleLock hold(&DataLock());
    count_ = count;
  }
  PostPhoneMessage(count_message_, static_cast<uintptr_t>(count), 0);
}
