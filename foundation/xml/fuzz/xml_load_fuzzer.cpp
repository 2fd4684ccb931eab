// libFuzzer target: load arbitrary files (marks, declared encodings, zero
// bytes, broken sequences), save them again and load the result.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/xml/xml_document.h"

namespace {

std::string TempPath(const char* tag) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/xml_load_fuzzer.XXXXXX";
    const char* made = mkdtemp(tmpl);
    return std::string(made ? made : "/tmp");
  }();
  return dir + "/" + tag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = TempPath("in.xml");
  const std::string out = TempPath("out.xml");
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  CXmlDocument doc;
  doc.LoadFile(in);
  doc.ResetPosition();
  while (doc.FindElement()) doc.GetAttribute(u"encoding");
  if (doc.SaveFile(out)) {
    CXmlDocument again;
    again.LoadFile(out);
    // Files with a UTF-16 mark come back unit for unit.
    if ((doc.GetDocFlags() & (XML_DOC_UTF16LE | XML_DOC_UTF16BE)) &&
        again.GetDocument() != doc.GetDocument()) {
      __builtin_trap();
    }
  }
  return 0;
}
