// Speed of the phone channels against the simulated phone (run by hand):
//   build/bench/app_transfer_bench
// 1. A 64 MB upload and download through the phone's forwarded FTP port,
//    with our FTP channel and with the curl command line on the same path;
//    the throughput ratio (ours / curl) is printed at the end.
// 2. One agent command ("connect") through our transport against a raw
//    loopback connect/send/receive/close of the same bytes to the same port.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "app/adb/child_process.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/agent/socket_thread.h"
#include "app/ftp/ftpcmd_tool.h"
#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"

namespace {

constexpr size_t kFileSize = 64u << 20;
testing_support::PhoneSim* g_sim = nullptr;
std::string g_dir;
std::map<std::string, double> g_seconds;  // mean seconds per iteration

std::string FtpUrl(const std::string& path) {
  return "ftp://8:8@127.0.0.1:" + g_sim->Field("ftp_port") + "/" + path;
}

template <typename F>
void Timed(benchmark::State& state, const char* name, F body, size_t bytes) {
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!body()) state.SkipWithError("transfer failed");
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(s);
    total += s;
  }
  if (bytes != 0) state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  g_seconds[name] = total / static_cast<double>(state.iterations());
}

void BM_OurFtpUpload(benchmark::State& state) {
  CFtpCmdTool* tool = CFtpCmdTool::Instance();
  const std::string src = g_dir + "/src.bin";
  Timed(state, "our_upload", [&] { return tool->UploadFile("sdcard/bench_ours.bin", src.c_str(), nullptr); }, kFileSize);
}
void BM_CurlCliUpload(benchmark::State& state) {
  const std::string src = g_dir + "/src.bin";
  Timed(state, "curl_upload", [&] {
    return adb::RunChildProcess("curl", {"-s", "-S", "-T", src, FtpUrl("sdcard/bench_cli.bin")}, 600000).exit_code == 0;
  }, kFileSize);
}
void BM_OurFtpDownload(benchmark::State& state) {
  CFtpCmdTool* tool = CFtpCmdTool::Instance();
  const std::string dst = g_dir + "/ours.bin";
  Timed(state, "our_download", [&] {
    return tool->DownloadFileWithProgress("sdcard/bench_ours.bin", dst.c_str(), nullptr);
  }, kFileSize);
}
void BM_CurlCliDownload(benchmark::State& state) {
  const std::string dst = g_dir + "/cli.bin";
  Timed(state, "curl_download", [&] {
    return adb::RunChildProcess("curl", {"-s", "-S", "-o", dst, FtpUrl("sdcard/bench_cli.bin")}, 600000).exit_code == 0;
  }, kFileSize);
}

std::u16string ConnectRequest() {
  CXmlDocument document;
  BuildRequestXml(document, u"connect", u"GET");
  return document.GetDocument();
}

void BM_AgentCommand(benchmark::State& state) {
  const std::u16string request = ConnectRequest();
  Timed(state, "agent_command", [&] { return ExchangeAndCheck(request) == 0; }, 0);
}

void BM_RawLoopbackRoundTrip(benchmark::State& state) {
  const std::string request = WStringToAnsi(ConnectRequest());
  const int port = g_sim->Port("agent_port");
  Timed(state, "raw_round_trip", [&] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      close(fd);
      return false;
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[4096];
    size_t got = 0;
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof(buffer), 0)) > 0) got += static_cast<size_t>(n);
    close(fd);
    return got > 0;
  }, 0);
}

BENCHMARK(BM_OurFtpUpload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CurlCliUpload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OurFtpDownload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CurlCliDownload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AgentCommand)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);
BENCHMARK(BM_RawLoopbackRoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/pd-transfer-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  g_dir = pattern;
  {
    std::ofstream out(g_dir + "/src.bin", std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    for (size_t i = 0; i < kFileSize / block.size(); ++i) out << block;
  }
  testing_support::PhoneSim sim;
  if (!sim.Start({"--forward"})) {
    std::fprintf(stderr, "the phone simulator did not start\n");
    return 1;
  }
  g_sim = &sim;
  CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", sim.Port("ftp_port"));
  CSocketThreadMgr::Instance()->SetHost("127.0.0.1", sim.Port("agent_port"));

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  auto ratio = [](const char* ours, const char* theirs) {
    return g_seconds.count(ours) && g_seconds[ours] > 0 ? g_seconds[theirs] / g_seconds[ours] : 0.0;
  };
  std::printf("upload throughput ours/curl:   %.2f\n", ratio("our_upload", "curl_upload"));
  std::printf("download throughput ours/curl: %.2f\n", ratio("our_download", "curl_download"));
  const double raw = g_seconds["raw_round_trip"];
  std::printf("agent command %.0f us, raw loopback round trip %.0f us (ours/raw %.2f)\n",
              g_seconds["agent_command"] * 1e6, raw * 1e6, raw > 0 ? g_seconds["agent_command"] / raw : 0.0);
  std::printf("phone errors: %s\n", sim.Errors().c_str());
  sim.Stop();
  (void)!system(("rm -rf '" + g_dir + "'").c_str());
  return 0;
}
