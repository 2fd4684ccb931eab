#include "foundation/xml/xml_result.h"

#include "foundation/xml/xml_document.h"

namespace xml {

void AddResultRecord(std::u16string& result, const char16_t* name, const std::u16string* value,
                     int flags, int number1, int number2) {
  if (result.size() > kMaxResultLength) return;
  CXmlDocument records(result);
  bool found = false;
  if (flags & kRecordUpdate) found = records.FindElement(name);
  if (!found && !records.AddElement(name, std::u16string(), XML_ADD_NO_BREAKS)) return;
  if (value) {
    const char16_t* attribute = (flags & kRecordType)       ? u"type"
                                : (flags & kRecordEncoding) ? u"encoding"
                                : (flags & kRecordMsg)      ? u"msg"
                                                            : u"tagname";
    records.SetAttribute(attribute, *value);
  }
  if (flags & kRecordN) {
    records.SetAttribute(u"n", number1);
  } else if (flags & kRecordCount) {
    records.SetAttribute(u"count", number1);
  } else if (flags & kRecordLength) {
    records.SetAttribute(u"length", number1);
  } else if (number1 != -1) {
    records.SetAttribute(u"offset", number1);
  }
  if (number2 != -1) records.SetAttribute(u"offset2", number2);
  result = records.GetDocument();
}

}  // namespace xml
