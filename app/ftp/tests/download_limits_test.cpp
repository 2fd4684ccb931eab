// A plain download's bounds against a server whose body never ends: the
// size cap (announced or sent), the overall deadline and the caller's
// cancel each end the download as failed, with no file left; a body within
// the bounds is saved whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/ftp/ftpcmd_tool.h"
#include "app/ftp/tests/endless_http.h"
#include "foundation/base/tests/case_name.h"

namespace {

using testing_support::EndlessHttp;

constexpr uint64_t kCap = 1024 * 1024;

struct LimitCase {
  const char* label;
  EndlessHttp::Answer answer;
  uint64_t max_bytes;
  int deadline_s;
  bool cancel;  // set once the first body bytes arrived
  bool saved;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.label; }

const LimitCase kCases[] = {
    {"a body past the cap that never ends", {"", 4 * kCap, true, 50}, kCap, 0, false, false},
    {"an announced length past the cap", {"Content-Length: 2097152\r\n", 2 * kCap, false, 0}, kCap, 0, false, false},
    {"a trickle past the deadline", {"", 10, true, 200}, kCap, 1, false, false},
    {"a trickle cancelled by the caller", {"", 10, true, 200}, 0, 0, true, false},
    {"an icon within the bounds", {"Content-Length: 1000\r\n", 1000, false, 0}, kCap, 30, false, true},
    {"a body of exactly the cap", {"", kCap, false, 0}, kCap, 30, false, true},
};

class DownloadLimitsTest : public ::testing::TestWithParam<LimitCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/download_limits_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string dir_;
};

TEST_P(DownloadLimitsTest, EndsAsFailedWithNoFileOrSavesTheWholeBody) {
  const LimitCase& c = GetParam();
  EndlessHttp server(c.answer);
  ASSERT_NE(server.port(), 0);
  std::atomic<bool> cancel{false};
  DownloadLimits limits;
  limits.max_bytes = c.max_bytes;
  limits.deadline_s = c.deadline_s;
  limits.cancel = &cancel;
  std::thread canceller;
  if (c.cancel) {
    canceller = std::thread([&] {
      while (server.BytesSent() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      cancel = true;
    });
  }
  const std::string file = dir_ + "/icon.png";
  CFtpCmdTool tool;
  const bool saved = tool.DownloadFile(server.Url("/icon.png").c_str(), file.c_str(), limits);
  cancel = true;
  if (canceller.joinable()) canceller.join();
  EXPECT_EQ(saved, c.saved);
  struct stat st {};
  if (c.saved) {
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), c.answer.burst);
  } else {
    EXPECT_NE(stat(file.c_str(), &st), 0) << "no part left";
  }
}

INSTANTIATE_TEST_SUITE_P(Ftp, DownloadLimitsTest, ::testing::ValuesIn(kCases),
                         testing_support::NamedBy(&LimitCase::label));

}  // namespace
