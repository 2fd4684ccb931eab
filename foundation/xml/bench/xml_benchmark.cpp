// Parse throughput of CXmlDocument against pugixml over the same documents
// (an agent-style reply of many attribute-rich elements, and a nested
// document with text), the text converted to UTF-16 before timing; and the
// reading of every attribute of an "sms_list" reply by name, element after
// element, as the SMS manager reads it (both documents parsed before
// timing). Prints the throughput ratios at the end (see
// testing/bench/ratio_report.h).
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <iterator>
#include <string>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_encoding.h"
#include "testing/bench/ratio_report.h"

namespace {

std::string ReplyDocument() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<response result=\"1\">\r\n";
  for (int i = 0; i < 5000; ++i) {
    s += "<c id=\"" + std::to_string(i) + "\" name=\"Contact &amp; " + std::to_string(i) +
         "\" starred=\"0\"><g id=\"3\"/><p type=\"2\" label=\"\">+86 138 0000 " +
         std::to_string(1000 + i) + "</p></c>\r\n";
  }
  return s + "</response>\r\n";
}

std::string NestedDocument() {
  std::string s = "<root>";
  for (int i = 0; i < 2000; ++i) {
    s += "<section n=\"" + std::to_string(i) + "\"><title>Section " + std::to_string(i) +
         "</title><para>Some text with an entity &lt;here&gt; and more words to read.</para>"
         "<list><item>one</item><item>two</item><item>three</item></list></section>";
  }
  return s + "</root>";
}

// 2,000 messages with the nine attributes the SMS manager reads.
std::string SmsListDocument() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response result=\"1\">";
  for (int i = 0; i < 2000; ++i) {
    s += "<sms thread=\"" + std::to_string(i / 15) + "\" contact=\"0\" type=\"1\" id=\"" + std::to_string(i) +
         "\" addr=\"+86 138-0000-" + std::to_string(1000 + i / 15) + "\" date=\"1772330400000\" read=\"1\" "
         "body=\"第" + std::to_string(i) + "条消息，会话里的一段较长的正文。Message text of some length.\" "
         "errcode=\"0\"/>";
  }
  return s + "</response>";
}

const char16_t* const kSmsAttributes[] = {u"thread", u"contact", u"type", u"id", u"addr",
                                          u"date", u"read", u"body", u"errcode"};

const std::string& Document(int which) {
  static const std::string reply = ReplyDocument();
  static const std::string nested = NestedDocument();
  return which == 0 ? reply : nested;
}

void BM_CXmlDocument(benchmark::State& state) {
  const std::string& utf8 = Document(static_cast<int>(state.range(0)));
  const std::u16string text = xml::Utf8ToUtf16(utf8.data(), utf8.size());
  for (auto _ : state) {
    CXmlDocument doc;
    const bool ok = doc.SetDocument(text);
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * utf8.size());
}

void BM_Pugixml(benchmark::State& state) {
  const std::string& utf8 = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_buffer(utf8.data(), utf8.size());
    benchmark::DoNotOptimize(r.status);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * utf8.size());
}

void BM_CXmlDocumentReadAttributes(benchmark::State& state) {
  const std::string utf8 = SmsListDocument();
  CXmlDocument doc(xml::Utf8ToUtf16(utf8.data(), utf8.size()));
  for (auto _ : state) {
    size_t read = 0;
    doc.ResetPosition();
    doc.FindElement(u"response");
    doc.IntoElement();
    while (doc.FindElement(u"sms"))
      for (const char16_t* name : kSmsAttributes) read += doc.GetAttribute(name).size();
    benchmark::DoNotOptimize(read);
  }
}

void BM_PugixmlReadAttributes(benchmark::State& state) {
  const std::string utf8 = SmsListDocument();
  pugi::xml_document doc;
  doc.load_buffer(utf8.data(), utf8.size());
  std::string names[std::size(kSmsAttributes)];
  for (size_t i = 0; i < std::size(kSmsAttributes); ++i)
    for (const char16_t* c = kSmsAttributes[i]; *c; ++c) names[i] += static_cast<char>(*c);
  for (auto _ : state) {
    size_t read = 0;
    for (pugi::xml_node sms : doc.child("response").children("sms"))
      for (const std::string& name : names) read += std::string(sms.attribute(name.c_str()).value()).size();
    benchmark::DoNotOptimize(read);
  }
}

BENCHMARK(BM_CXmlDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CXmlDocumentReadAttributes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PugixmlReadAttributes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench_ratio::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // The parse alone, for information: the targets are on the whole reply
  // path (app/agent/bench).
  bench_ratio::PrintSpeedRatio(reporter, "xml_parse_reply", "BM_CXmlDocument/0", "BM_Pugixml/0",
                               "", 0);
  bench_ratio::PrintSpeedRatio(reporter, "xml_parse_nested", "BM_CXmlDocument/1", "BM_Pugixml/1",
                               "", 0);
  bench_ratio::PrintSpeedRatio(reporter, "xml_read_sms_attributes", "BM_CXmlDocumentReadAttributes",
                               "BM_PugixmlReadAttributes", "", 0);
  benchmark::Shutdown();
  return 0;
}
