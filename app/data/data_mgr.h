// CDataMgr: the common base of the phone data managers (apps, contacts,
// SMS, music, pictures, videos, environment). It is the CBaseResponse the
// agent transport delivers to, and it runs the part of every reply that is
// the same for all managers, so each manager only parses its own elements.
//
// Two rules hold for every manager built on it:
//
// (a) A reply that does not carry a parsed "response" with result "1" (the
//     agent could not be reached, or its reply failed the check) always
//     ends the load: the busy flag is cleared and the page is told through
//     the manager's busy message, whichever command failed. The records
//     stay as they were.
//
// (b) Pages never hold a record that a socket thread may delete. Managers
//     hand out copies of their records, taken under the data lock (or run a
//     reader under the data lock); no raw pointer into a list that a reply
//     may rebuild ever leaves a manager.
//
// Sending goes through SendGet / Execute so that one seam (SetCommandSender)
// can watch every command a manager sends, in order.
//
// Threading: replies arrive on socket threads (asynchronous commands) or on
// the caller's thread (synchronous ones); OnReply runs there. The data lock
// (CBaseResponse::DataLock) guards the records; the flag lock the busy flag.
#pragma once

#include <cstdint>
#include <string>

#include "app/agent/base_response.h"
#include "app/agent/buffer_t.h"

class CCmdPackage;
class CXmlDocument;
class ExchangeControl;

class CDataMgr : public CBaseResponse {
 public:
  // `busy_message`: the message that tells the page the busy state (its
  // wParam is 1 or 0); 0 for a manager without one.
  explicit CDataMgr(uint32_t busy_message);
  ~CDataMgr() override;

  // Copies the command out of the package, frees it, checks the link and
  // the envelope (rule a), then hands the parsed reply to OnReply.
  void OnResponse(CmdResponse& response) final;

  // Sets the flag and tells the page (the busy message with 1 or 0).
  void SetBusy(bool busy);
  // Starts a load: sets the flag and tells the page, unless a load is under
  // way already (false; nothing is told). Replies on several socket threads
  // may ask at once: only one load starts.
  bool BeginLoad();

 protected:
  // A reply that passed the checks; `document` is positioned inside
  // "response"; `reply` holds the raw bytes (a binary tail may follow the
  // XML text and its NUL). `param` is the package's parameter text.
  virtual void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
                       const CBufferT<unsigned char>& reply) = 0;

  // A GET without parameters, run asynchronously.
  void SendGet(const std::u16string& command);
  // A request built by the manager (BuildRequestXml plus parameters): run
  // asynchronously, or synchronously on the calling thread (`control` lets
  // the owner cut a synchronous exchange short).
  void SendRequest(const std::u16string& command, const CXmlDocument& request, const std::u16string& param,
                   bool synchronous, ExchangeControl* control = nullptr);

 private:
  uint32_t busy_message_;
};

// Every command a manager sends passes here first (tests record the order);
// the hook returns true to let the command go on to the agent.
using CommandSendHook = bool (*)(const std::u16string& command);
void SetCommandSendHook(CommandSendHook hook);

// The text of a reply up to its first NUL (for the failure log).
std::string ReplyText(const CBufferT<unsigned char>& reply);

// Decimal text of the agent's attributes: leading digits (a sign allowed),
// 0 when there are none.
int32_t ReadDecimal(const std::u16string& text);
int64_t ReadDecimal64(const std::u16string& text);
// An id written with "%d" (a package's parameter text).
std::u16string DecimalText(int32_t value);
// The `value` of the reply's `count` element into `count`; false (count
// unchanged) when there is no such element.
bool ReadCountElement(CXmlDocument& document, int32_t& count);
