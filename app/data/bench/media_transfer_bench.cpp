// Speed of the music manager's transfers against the simulated phone (run
// by hand: build/bench/app_media_transfer_bench): a 50 MB import
// (UploadMusic: FTP upload into the phone's music folder, then "music_add")
// and export (ExportMusic: FTP download through a temporary name and a
// rename) against the curl command line moving the same file over the same
// forwarded port, in one run, alternating. The time ratios (ours / curl)
// are printed at the end; below 1.0 means faster than curl.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/adb/child_process.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/agent/socket_thread.h"
#include "app/data/music_mgr.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"

namespace {

constexpr size_t kFileSize = 50u << 20;
constexpr char kName[] = "bench 50MB.mp3";
constexpr char kCliName[] = "bench_cli.mp3";

testing_support::PhoneSim* g_sim = nullptr;
CMusicMgr* g_music = nullptr;
std::string g_dir;
std::map<std::string, double> g_ratio;  // our time / curl's time, per direction

std::string FtpUrl(const std::string& path) {
  return "ftp://8:8@127.0.0.1:" + g_sim->Field("ftp_port") + "/" + path;
}

double Seconds(const std::function<bool()>& body, bool& ok) {
  const auto start = std::chrono::steady_clock::now();
  ok = body() && ok;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration moves the file once our way and once with curl, one right
// after the other, so a change of the machine's load hits both alike. The
// benchmark's time is ours; curl's mean is the counter "curl_ms".
void Paired(benchmark::State& state, const char* name, const std::function<bool()>& ours,
            const std::function<bool()>& curl) {
  double our_total = 0;
  double curl_total = 0;
  for (auto _ : state) {
    bool ok = true;
    const double our_s = Seconds(ours, ok);
    curl_total += Seconds(curl, ok);
    if (!ok) state.SkipWithError("transfer failed");
    state.SetIterationTime(our_s);
    our_total += our_s;
  }
  const double n = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  state.counters["curl_ms"] = curl_total * 1000 / n;
  g_ratio[name] = curl_total > 0 ? our_total / curl_total : 0.0;
}

// The id of the imported file, once the list was loaded again.
int32_t FindImported() {
  g_music->RefreshMusicList();
  for (int i = 0; i < 3000 && g_music->IsBusy(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (const MusicRecord& r : g_music->GetMusicList())
    if (r.file == u"/storage/sdcard0/Tamsil/Music/" + AnsiToWString(kName)) return r.id;
  return 0;
}

bool Curl(const std::vector<std::string>& args) { return adb::RunChildProcess("curl", args, 600000).exit_code == 0; }

void BM_Import(benchmark::State& state) {
  const std::string source = g_dir + "/" + kName;
  const std::u16string wide_source = AnsiToWString(source);
  Paired(
      state, "import", [&] { return g_music->UploadMusic(wide_source, nullptr); },
      [&] {
        return Curl({"-s", "-S", "--ftp-create-dirs", "-T", source, FtpUrl(std::string("sdcard/Tamsil/Music/") + kCliName)});
      });
}

void BM_Export(benchmark::State& state) {
  const int32_t id = FindImported();
  const std::u16string folder = AnsiToWString(g_dir + "/ours");
  const std::string target = g_dir + "/cli/" + kCliName;
  Paired(
      state, "export", [&] { return id != 0 && g_music->ExportMusic(folder, id); },
      [&] { return Curl({"-s", "-S", "-o", target, FtpUrl(std::string("sdcard/Tamsil/Music/") + kCliName)}); });
}

BENCHMARK(BM_Import)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Export)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/pd-media-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  g_dir = pattern;
  (void)!system(("mkdir -p '" + g_dir + "/ours' '" + g_dir + "/cli'").c_str());
  {
    std::ofstream out(g_dir + "/" + kName, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    for (size_t i = 0; i < kFileSize / block.size(); ++i) out << block;
  }
  int status = 0;
  {
    testing_support::PhoneSim sim;
    if (!sim.Start({"--forward"})) {
      std::fprintf(stderr, "the phone simulator did not start: %s\n", sim.Failure().c_str());
      status = 1;
    } else {
      g_sim = &sim;
      CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", sim.Port("ftp_port"));
      CSocketThreadMgr::Instance()->SetHost("127.0.0.1", sim.Port("agent_port"));
      CMusicMgr music;
      g_music = &music;

      benchmark::Initialize(&argc, argv);
      benchmark::RunSpecifiedBenchmarks();
      benchmark::Shutdown();

      std::printf("50 MB import time ours/curl: %.2f\n", g_ratio["import"]);
      std::printf("50 MB export time ours/curl: %.2f\n", g_ratio["export"]);
      CSocketThreadMgr::Instance()->StopAll();
      g_music = nullptr;
      g_sim = nullptr;
    }
  }
  (void)!system(("rm -rf '" + g_dir + "'").c_str());
  return status;
}
