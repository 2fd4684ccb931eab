// A scheme link resolved through the real kitoracle, relaylink and udp
// against the loopback search service: the search request carries the
// link's digest, the engine fetches the URL the service names, the file is
// checked against the digest, and a refused file is reported to the service.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "download_server.h"
#include "kitoracle/tests/pack.h"
#include "search_sim.h"
#include "swarmload_fixture.h"

namespace {

constexpr char kGoodHash[] = "b64492ed17105728b0faaeb1687a39a8";  // the file digest of "good file"

class KitoracleLinkTest : public SwarmloadFixture {
 protected:
  void SetUp() override {
    ASSERT_GT(server_.port(), 0);
    char pattern[] = "/tmp/swarmload_kitoracle_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    runtime_ = pattern;
    ::setenv("TMPDIR", runtime_.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    ::setenv("PHONEDECK_UDP_PROXY_SHM", ("/pd-swarmload-" + std::to_string(::getpid())).c_str(), 1);
    ::setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    ::setenv("PHONEDECK_RELAYLINK_STAT_INI", (runtime_ + "/stat.ini").c_str(), 1);
    ASSERT_TRUE(sim_.Start());
    sim_.ExportEnvironment();
    ASSERT_NO_FATAL_FAILURE(Prepare(ENGINE_LIBRARY, PD_BIN_DIR));
  }
  void TearDown() override {
    SwarmloadFixture::TearDown();  // P2SPClose: kitoracle's DSClose
    sim_.Stop();
    std::filesystem::remove_all(runtime_);
  }

  // The search requests (0x54) the service received, each with its digest.
  std::vector<std::string> SearchedDigests() {
    std::vector<std::string> digests;
    for (const searchsim::Received& r : sim_.Requests()) {
      if (r.packet.size() >= 18 && r.packet[0] == 0x54) digests.push_back(searchsim::HexOf(&r.packet[2]));
    }
    return digests;
  }

  testing_server::DownloadServer server_;
  searchsim::SearchServiceSim sim_;
  std::string runtime_;
};

TEST_F(KitoracleLinkTest, TheServiceNamesTheUrlAndTheFileIsChecked) {
  testing_server::Resource good;
  good.body = "good file";
  server_.Put("/good.apk", good);
  sim_.SetRawReply(0x54, kitoracle_test::Pack().U8(0x55).U8(0).U16(1).Str(server_.Url("/good.apk")).Str("").b);
  const std::string link = std::string("QEN://app.apk&") + kGoodHash + "=1";
  testing::internal::CaptureStdout();
  ASSERT_TRUE(P2SPNewTask(link.c_str(), downloads_.c_str(), 0));
  EXPECT_EQ(WaitStatus(link), 6);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the header probe writes nothing out";
  // The file takes the name the URL's headers give (none here: its path).
  EXPECT_EQ(RecordedPath(link), downloads_ + "/good.apk");
  EXPECT_EQ(ReadText(downloads_ + "/good.apk"), "good file");
  EXPECT_EQ(SearchedDigests(), std::vector<std::string>{kGoodHash});
  EXPECT_EQ(sim_.Errors(), std::vector<std::string>());
}

TEST_F(KitoracleLinkTest, AFileThatFailsItsDigestIsRefusedAndReported) {
  // The fixture's driver package is served under a digest it does not have.
  const std::string digest = searchsim::HexOf(sim_.fixture().recommended.digest);
  const std::string link = "QEN://driver.zip&" + digest + "=1";
  ASSERT_TRUE(P2SPNewTask(link.c_str(), downloads_.c_str(), 0));
  EXPECT_EQ(WaitStatus(link), 10);
  EXPECT_EQ(RecordedPath(link), "");
  EXPECT_EQ(SearchedDigests(), std::vector<std::string>{digest});
  EXPECT_GE(sim_.FileRequests(), 1u) << "the engine fetched the service's URL";
  // The hash report goes without reply (0x41, kind 10, union id 1111).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool reported = false;
  while (!reported && std::chrono::steady_clock::now() < deadline) {
    for (const searchsim::Received& r : sim_.Requests()) {
      reported = reported || (r.packet.size() > 34 && r.packet[0] == 0x41 && r.packet[34] == 10 &&
                              (r.packet[4] | r.packet[5] << 8) == 1111);
    }
    if (!reported) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(reported);
  EXPECT_EQ(sim_.Errors(), std::vector<std::string>());
}

}  // namespace
