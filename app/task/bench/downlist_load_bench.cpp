// downlist.dat at start when most entries are gone: the task manager's load
// (which drops the entries whose apk is missing and writes the file once)
// against pugixml doing the same work (load, remove the same entries, save).
// Prints one ratio per size (pugixml time / ours): the load must stay linear
// in the entries it drops, so the ratio must not fall as the list grows.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/task/task_list_file.h"
#include "foundation/base/code_page.h"
#include "testing/bench/ratio_report.h"

namespace {

std::string& Folder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/downlist_bench_XXXXXX";
    return std::string(mkdtemp(pattern) ? pattern : "/tmp");
  }();
  return folder;
}

std::string ListPath() { return Folder() + "/downlist.dat"; }

// `n` entries, each of an apk that does not exist.
void WriteList(int n) {
  std::ofstream out(ListPath(), std::ios::binary | std::ios::trunc);
  for (int i = 1; i <= n; ++i) {
    out << "<app app_name=\"应用 " << i << "\" task_id=\"" << i << "\" down_url=\"http://127.0.0.1/a" << i
        << ".apk\" file_path=\"" << Folder() << "/gone_" << i << ".apk\" icon_path=\"" << Folder()
        << "/icon/" << i << ".png\"/>\r\n";
  }
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void BM_TaskListDroppingAll(benchmark::State& state) {
  const std::u16string list = AnsiToWString(ListPath());
  auto exists = [](const std::u16string& path) { return Exists(WStringToAnsi(path)); };
  for (auto _ : state) {
    state.PauseTiming();
    WriteList(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    benchmark::DoNotOptimize(LoadTaskList(list, exists));
  }
}

void BM_PugixmlDroppingAll(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    WriteList(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    pugi::xml_document doc;
    doc.load_file(ListPath().c_str());
    for (pugi::xml_node app = doc.child("app"); app;) {
      pugi::xml_node next = app.next_sibling("app");
      if (!Exists(app.attribute("file_path").value())) doc.remove_child(app);
      app = next;
    }
    doc.save_file(ListPath().c_str(), "", pugi::format_raw | pugi::format_no_declaration);
  }
}

BENCHMARK(BM_TaskListDroppingAll)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlDroppingAll)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench_ratio::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* n : {"1000", "10000", "40000"}) {
    const std::string name = std::string("downlist_drop_") + n;
    bench_ratio::PrintSpeedRatio(reporter, name, std::string("BM_TaskListDroppingAll/") + n,
                                 std::string("BM_PugixmlDroppingAll/") + n, ">=", 0.2);
  }
  benchmark::Shutdown();
  std::system(("rm -rf '" + Folder() + "'").c_str());
  return 0;
}
