// One single-datagram request and its reply, side by side: through the
// library (UDPCreate, UDPSendToEx, UDPRecvFrom, UDPFree) and as a plain
// loopback UDP exchange (sendto, blocking recvfrom) with the same peer, the
// loopback simulator that answers "e:" + request. Wall-clock time per round
// trip; run with --benchmark_repetitions and random interleaving so the two
// alternate (scripts/bench.sh does). Prints the cost ratio library / plain
// (target at most 1.2).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "datagram.h"
#include "testing/bench/ratio_report.h"
#include "udp.h"
#include "udp_sim.h"
#include "udp_sim_test_support.h"

namespace {

constexpr size_t kRequestBytes = 64;

// The peer and the library's channel, shared by both benchmarks.
struct Bench {
  Bench() {
    shm = "/pd-udp-bench-" + std::to_string(getpid());
    setenv("PHONEDECK_UDP_PROXY_SHM", shm.c_str(), 1);
    peerUp = peer.Start(&udpsim::Echo);
    channelUp = peerUp && UDPInit(0, nullptr);
  }
  ~Bench() {
    while (UDPClose() > 0) {
    }
    peer.Stop();
    shm_unlink(shm.c_str());
  }
  std::string shm;
  udpsim::UdpPeerSim peer;
  bool peerUp = false;
  bool channelUp = false;
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

void BM_LibraryRoundTrip(benchmark::State& state) {
  Bench& b = Shared();
  if (!b.channelUp) {
    state.SkipWithError("the peer or the channel did not start");
    return;
  }
  const std::string request(kRequestBytes, 'q');
  char reply[64 + kRequestBytes];
  for (auto _ : state) {
    UDPHANDLE h = UDPCreate();
    UDPSendToEx(h, request.data(), int(request.size()), "127.0.0.1", b.peer.Port(), 2000, 0);
    int got = UDPRecvFrom(h, reply, int(sizeof reply), 0, 0);
    UDPFree(h);
    if (got != int(kRequestBytes + 2)) {
      state.SkipWithError("no reply");
      return;
    }
  }
}

void BM_PlainLoopbackRoundTrip(benchmark::State& state) {
  Bench& b = Shared();
  if (!b.peerUp) {
    state.SkipWithError("the peer did not start");
    return;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  timeval limit{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(b.peer.Port());
  std::vector<uint8_t> datagram(udp::kHeaderSize + kRequestBytes, 'q');
  uint8_t reply[udp::kMaxDatagram];
  uint32_t id = 0x40000000;
  for (auto _ : state) {
    udp::DatagramHeader header;
    header.requestId = ++id;
    udp::WriteHeader(header, datagram.data());
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ssize_t got = recv(fd, reply, sizeof reply, 0);
    if (got != ssize_t(udp::kHeaderSize + kRequestBytes + 2)) {
      state.SkipWithError("no reply");
      break;
    }
  }
  close(fd);
}

BENCHMARK(BM_LibraryRoundTrip)->UseRealTime();
BENCHMARK(BM_PlainLoopbackRoundTrip)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench_ratio::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double ours = reporter.Time("BM_LibraryRoundTrip/real_time");
  const double plain = reporter.Time("BM_PlainLoopbackRoundTrip/real_time");
  if (ours > 0 && plain > 0) std::printf("RATIO udp_round_trip %.3f (target <= 1.20)\n", ours / plain);
  benchmark::Shutdown();
  return 0;
}
