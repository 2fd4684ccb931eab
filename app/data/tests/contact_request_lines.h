// The contact of a captured agent request as lines "tag name=value ...", in
// the order written (tests of the contact manager and the contacts page).
#pragma once

#include <string>
#include <vector>

#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"

namespace data_test {

inline std::vector<std::string> ContactLines(const std::string& request) {
  CXmlDocument document(AnsiToWString(request));
  std::vector<std::string> lines;
  if (!document.FindElement(u"request") || !document.IntoElement() || !document.FindElement(u"cmd") ||
      !document.IntoElement() || !document.FindElement(u"contact"))
    return lines;
  auto line = [&document] {
    std::string text = WStringToAnsi(document.GetTagName());
    for (int i = 0; !document.GetAttributeName(i).empty(); ++i) {
      const std::u16string name = document.GetAttributeName(i);
      text += " " + WStringToAnsi(name) + "=" + WStringToAnsi(document.GetAttribute(name));
    }
    return text;
  };
  lines.push_back(line());
  document.IntoElement();
  while (document.FindElement()) lines.push_back(line());
  return lines;
}

}  // namespace data_test
