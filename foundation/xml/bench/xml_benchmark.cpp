// Parse throughput of CXmlDocument against pugixml over the same documents
// (an agent-style reply of many attribute-rich elements, and a nested
// document with text). Prints the throughput ratio at the end.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_encoding.h"

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

BENCHMARK(BM_CXmlDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Keeps each run's time per iteration so that main can print the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // Single runs, or the median when repetitions are asked for.
      if (run.aggregate_name.empty() || run.aggregate_name == "median") {
        times[run.run_name.str()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* arg : {"0", "1"}) {
    const auto ours = reporter.times.find(std::string("BM_CXmlDocument/") + arg);
    const auto pugi = reporter.times.find(std::string("BM_Pugixml/") + arg);
    if (ours == reporter.times.end() || pugi == reporter.times.end()) continue;
    std::printf("document %s: CXmlDocument throughput = %.2f x pugixml\n", arg,
                pugi->second / ours->second);
  }
  benchmark::Shutdown();
  return 0;
}
