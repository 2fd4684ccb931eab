// libFuzzer target: parse, navigate and edit arbitrary documents. The first
// byte chooses how the rest becomes text (UTF-16LE units or UTF-8 bytes).
// A well-formed document must stay consistent with its text after edits:
// the edited records and a fresh parse of the edited text must agree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/xml/xml_document.h"

namespace {

constexpr int kMaxSteps = 2000;

void Walk(CXmlDocument& doc, std::u16string& out, int& steps) {
  while (steps++ < kMaxSteps && doc.FindElement()) {
    out += u"(";
    out += doc.GetAttribute(u"id");
    out += u":";
    out += doc.GetData();
    if (doc.IntoElement()) {
      Walk(doc, out, steps);
      doc.OutOfElement();
    }
    out += u")";
  }
}

std::u16string Dump(CXmlDocument& doc) {
  std::u16string out;
  int steps = 0;
  doc.ResetPosition();
  Walk(doc, out, steps);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  CXmlDocument doc;
  if (mode & 1) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    doc.SetDocument(text);
  } else {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    doc.SetDocument(bytes.c_str());
  }
  const bool wellFormed = doc.CheckDocument();
  Dump(doc);
  doc.GetDeclaredEncoding(doc.GetDocument());
  CXmlDocument::UnescapeText(doc.GetDocument().c_str());

  // Edits driven by the mode bits, on the elements of the first two levels
  // (never a start tag alone: that leaves an unended element by design).
  doc.ResetPosition();
  int visited = 0;
  while (doc.FindElement() && visited++ < 50) {
    if (mode & 2) doc.SetAttribute(u"id", u"v<&\"'>");
    if (mode & 4) doc.AddChildElement(u"n", (mode & 8) ? u"]]>&x" : u"", mode & 0x0F);
    if (doc.IntoElement()) {
      if (doc.FindElement()) {
        if (mode & 0x20) doc.SetAttribute(u"x", 7);
        if (mode & 0x40) doc.RemoveElement();
        if (mode & 0x80) doc.AddElement(u"s", u"d", XML_ADD_BEFORE);
      }
      doc.OutOfElement();
    }
  }
  if (wellFormed) {
    CXmlDocument fresh(doc.GetDocument());
    if (!fresh.CheckDocument() || Dump(doc) != Dump(fresh)) __builtin_trap();
  }
  return 0;
}
