// libFuzzer target: load arbitrary files (marks, declared encodings, zero
// bytes, broken sequences), save them again and load the result.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/xml/xml_document.h"

namespace {

std::string g_dir;

void RemoveTempFolder() {
  unlink((g_dir + "/in.xml").c_str());
  unlink((g_dir + "/out.xml").c_str());
  rmdir(g_dir.c_str());
}

// A private folder for the run, removed at exit.
std::string TempPath(const char* tag) {
  if (g_dir.empty()) {
    char tmpl[] = "/tmp/xml_load_fuzzer.XXXXXX";
    if (!mkdtemp(tmpl)) return std::string();
    g_dir = tmpl;
    std::atexit(RemoveTempFolder);
  }
  return g_dir + "/" + tag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = TempPath("in.xml");
  const std::string out = TempPath("out.xml");
  if (g_dir.empty()) return 0;
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
