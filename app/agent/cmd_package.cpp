#include "app/agent/cmd_package.h"

#include <cstring>

#include "foundation/base/log.h"
#include "foundation/base/unicode.h"
#include "foundation/xml/xml_document.h"

void BuildRequestXml(CXmlDocument& document, const std::u16string& command,
                     const std::u16string& method) {
  document.AddElement(u"request");
  document.SetAttribute(u"ver", u"1");
  document.SetAttribute(u"method", method);
  document.IntoElement();
  document.AddElement(u"cmd");
  document.SetAttribute(u"id", command);
}

bool CheckResponse(CXmlDocument& document, const CBufferT<unsigned char>& reply) {
  const char* bytes = reinterpret_cast<const char*>(reply.GetData());
  const size_t length = bytes != nullptr ? strnlen(bytes, reply.GetLength()) : 0;
  // A reply cut short (the agent died while sending) is not well-formed;
  // its partial content must not pass for a whole list.
  // Decoded straight from the buffer; the document takes the text over.
  const bool well_formed = document.SetDocument(unicode::Utf8ToUtf16(bytes, length));
  if (!well_formed || !document.FindElement(u"response")) {
    PD_LOG_ERROR("xml FindElem failed!");
    return false;
  }
  std::u16string result = document.GetAttribute(u"result");
  if (result != u"1") {
    PD_LOG_ERROR("xml response result = 0");
    return false;
  }
  if (!document.IntoElement()) {
    PD_LOG_ERROR("xml IntoElem failed!");
    return false;
  }
  return true;
}

bool CheckResponseStatus(const CmdResponse& response) {
  if (response.status >= 0) return true;
  PD_LOG_ERROR("socket sever communication failed!");
  return false;
}

void TrimLeftSpaces(std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  text.erase(0, first == std::string::npos ? text.size() : first);
}

void TrimRightSpaces(std::string& text) {
  const size_t last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
}

void TrimSpaces(std::string& text) {
  TrimRightSpaces(text);
  TrimLeftSpaces(text);
}
