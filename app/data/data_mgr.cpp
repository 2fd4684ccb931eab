#include "app/data/data_mgr.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/agent/cmd_package.h"
#include "app/agent/socket_thread.h"
#include "app/core/phone_message.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

std::atomic<CommandSendHook> g_send_hook{nullptr};

// False when the hook holds the command back.
bool PassHook(const std::u16string& command) {
  CommandSendHook hook = g_send_hook.load();
  return hook == nullptr || hook(command);
}

}  // namespace

void SetCommandSendHook(CommandSendHook hook) { g_send_hook.store(hook); }

std::string ReplyText(const CBufferT<unsigned char>& reply) {
  const char* bytes = reinterpret_cast<const char*>(reply.GetData());
  if (bytes == nullptr) return std::string();
  return std::string(bytes, strnlen(bytes, reply.GetLength()));
}

int64_t ReadDecimal64(const std::u16string& text) { return std::strtoll(WStringToAnsi(text).c_str(), nullptr, 10); }

int32_t ReadDecimal(const std::u16string& text) { return static_cast<int32_t>(ReadDecimal64(text)); }

std::u16string DecimalText(int32_t value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

bool ReadCountElement(CXmlDocument& document, int32_t& count) {
  if (!document.FindElement(u"count")) return false;
  count = ReadDecimal(document.GetAttribute(u"value"));
  return true;
}

CDataMgr::CDataMgr(uint32_t busy_message) : busy_message_(busy_message) {}

CDataMgr::~CDataMgr() = default;

void CDataMgr::SetBusy(bool busy) {
  CBaseResponse::SetBusy(busy);
  if (busy_message_ != 0) PostPhoneMessage(busy_message_, busy ? 1 : 0, 0);
}

bool CDataMgr::BeginLoad() {
  if (!TrySetBusy()) return false;
  if (busy_message_ != 0) PostPhoneMessage(busy_message_, 1, 0);
  return true;
}

void CDataMgr::OnResponse(CmdResponse& response) {
  std::u16string command;
  std::u16string param;
  if (response.package != nullptr) {
    command = response.package->GetCommand();
    param = response.package->GetParam();
    delete response.package;
    response.package = nullptr;
  }
  if (!CheckResponseStatus(response)) {
    SetBusy(false);
    return;
  }
  CXmlDocument document;
  if (!CheckResponse(document, response.reply)) {
    PD_LOG_ERROR("Request failed! CMD:%s result:%s", WStringToAnsi(command).c_str(),
                 ReplyText(response.reply).c_str());
    SetBusy(false);
    return;
  }
  OnReply(command, param, document, response.reply);
}

void CDataMgr::SendGet(const std::u16string& command) {
  if (!PassHook(command)) return;
  SendGetCommand(this, command);
}

void CDataMgr::SendRequest(const std::u16string& command, const CXmlDocument& request, const std::u16string& param,
                           bool synchronous, ExchangeControl* control) {
  if (!PassHook(command)) return;
  CCmdPackage* package = new (std::nothrow) CCmdPackage(command);
  if (package == nullptr) {
    PD_LOG_ERROR("Out of memory!");
    return;
  }
  package->SetRequest(request.GetDocument());
  package->SetParam(param);
  package->SetTarget(this);
  if (synchronous) {
    ExecuteRequest(package, control);
  } else {
    CSocketThreadMgr::Instance()->RunAsync(package);
  }
}
