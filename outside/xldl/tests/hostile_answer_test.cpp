// The engine's answers from hostile servers, one table: refusals, bodies
// beyond their announced length, ranges nobody asked for, lengths no disk
// holds; and the floor of free space it keeps on the download's disk
// against an endless body. (Cut bodies, redirects and names a server offers
// are in engine_test.cpp and names_test.cpp.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "download_server.h"
#include "engine_test_support.h"
#include "foundation/base/tests/case_name.h"
#include "foundation/base/unicode.h"
#include "raw_http_server.h"
#include "xldl.h"

namespace {

using xldl_test::CopyText;
using xldl_test::Exists;
using xldl_test::ReadAll;
using testing_server::Pattern;
using testing_server::RawAnswer;

// A private download folder, the engine started, and one task at a time.
class HostileAnswerFixture {
 protected:
  void Open() {
    char pattern[] = "/tmp/xldl_hostile_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ASSERT_EQ(XL_Init(), 1);
  }
  void Close() {
    XL_UnInit();
    ::unsetenv("PHONEDECK_XLDL_FREE_FLOOR");
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  XlTaskHandle Launch(const std::string& url, const std::string& name) {
    param_ = std::make_unique<XlTaskParam>();
    std::memset(param_.get(), 0, sizeof(XlTaskParam));
    CopyText(param_->url, url);
    CopyText(param_->save_folder, folder_);
    CopyText(param_->file_name, name);
    const XlTaskHandle task = XL_CreateTask(param_.get());
    EXPECT_NE(task, 0u);
    EXPECT_EQ(XL_StartTask(task), 1);
    return task;
  }

  // Waits (bounded) until the task leaves the running state.
  static XlTaskInfo WaitEnd(XlTaskHandle task) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    XlTaskInfo info{};
    XL_QueryTaskInfo(task, &info);
    while (info.state == kXlStateRunning && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      XL_QueryTaskInfo(task, &info);
    }
    return info;
  }

  // Free bytes of the download folder's filesystem, as an ordinary user may take them.
  uint64_t FreeBytes() const {
    struct statvfs st {};
    EXPECT_EQ(::statvfs(folder_.c_str(), &st), 0);
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  }

  std::string folder_;
  std::unique_ptr<XlTaskParam> param_;
};

struct HostileCase {
  const char* label;
  RawAnswer answer;
  int32_t state;
  int32_t fail_code;
  std::string content;  // of the finished file; none is left otherwise
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.label; }

RawAnswer Answer(const std::string& head, std::string body, bool chunked = false, bool endless = false) {
  RawAnswer answer;
  answer.head = head + "\r\nConnection: close";
  answer.body = std::move(body);
  answer.chunked = chunked;
  answer.endless = endless;
  return answer;
}

const char kChunkedWithLength[] = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nTransfer-Encoding: chunked";

const HostileCase kHostileCases[] = {
    // Refusals and failures of the server: no retry by the engine, nothing written.
    {"404 refused", Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 3", "no!"), kXlStateFailed, kXlFailHttp, ""},
    {"503 server failure", Answer("HTTP/1.1 503 Busy\r\nContent-Length: 3", "no!"), kXlStateFailed, kXlFailServer, ""},
    {"416 to a request without Range",
     Answer("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */1000", ""), kXlStateFailed, kXlFailHttp,
     ""},
    // libcurl refuses a status line that is not HTTP as an HTTP/0.9 answer.
    {"status line that is not HTTP", Answer("HTTX/9 abc", "x"), kXlStateFailed, kXlFailBadUrl, ""},
    // Lengths.
    {"Content-Length not a number", Answer("HTTP/1.1 200 OK\r\nContent-Length: 12ab", Pattern(0, 12)),
     kXlStateFailed, kXlFailServer, ""},
    {"two Content-Lengths that differ",
     Answer("HTTP/1.1 200 OK\r\nContent-Length: 12\r\nContent-Length: 13", Pattern(0, 13)), kXlStateFailed,
     kXlFailServer, ""},
    {"endless chunked body beside Content-Length 1000", Answer(kChunkedWithLength, "", true, true), kXlStateFailed,
     kXlFailServer, ""},
    {"chunked body one byte beyond Content-Length", Answer(kChunkedWithLength, Pattern(0, 1001), true),
     kXlStateFailed, kXlFailServer, ""},
    {"chunked body exactly its Content-Length", Answer(kChunkedWithLength, Pattern(0, 1000), true), kXlStateFinished,
     0, Pattern(0, 1000)},
    // Ranges.
    {"206 from byte 500 with no Range asked",
     Answer("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 500-999/1000\r\nContent-Length: 500",
            Pattern(500, 500)),
     kXlStateFailed, kXlFailServer, ""},
    {"206 without Content-Range", Answer("HTTP/1.1 206 Partial Content\r\nContent-Length: 500", Pattern(0, 500)),
     kXlStateFailed, kXlFailServer, ""},
    {"206 whose length contradicts its range",
     Answer("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-999/1000\r\nContent-Length: 500",
            Pattern(0, 500)),
     kXlStateFailed, kXlFailServer, ""},
    {"206 range past its own total",
     Answer("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-999/500\r\nContent-Length: 1000",
            Pattern(0, 1000)),
     kXlStateFailed, kXlFailServer, ""},
    {"206 of the whole file with no Range asked",
     Answer("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-999/1000\r\nContent-Length: 1000",
            Pattern(0, 1000)),
     kXlStateFinished, 0, Pattern(0, 1000)},
    // The disk.
    {"Content-Length no disk holds", Answer("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000000", "", false, true),
     kXlStateFailed, kXlFailFile, ""},
};

class HostileAnswerTest : public HostileAnswerFixture, public ::testing::TestWithParam<HostileCase> {
 protected:
  void SetUp() override {
    ASSERT_GT(server_.port(), 0);
    ASSERT_NO_FATAL_FAILURE(Open());
  }
  void TearDown() override { Close(); }

  testing_server::RawHttpServer server_;
};

TEST_P(HostileAnswerTest, EndsAsTheTableSaysAndLeavesNoPartOfALie) {
  const HostileCase& c = GetParam();
  server_.SetAnswer(c.answer);
  const XlTaskHandle task = Launch(server_.Url("/f.bin"), "f.bin");
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, c.state);
  EXPECT_EQ(info.fail_code, c.fail_code);
  ASSERT_EQ(server_.Requests().size(), 1u) << "a lying answer is not asked again by the engine";
  EXPECT_EQ(server_.Requests()[0].head.find("Range:"), std::string::npos);
  if (c.state == kXlStateFinished) {
    EXPECT_EQ(ReadAll(folder_ + "/f.bin"), c.content);
    EXPECT_EQ(info.total_size, c.content.size());
  } else {
    EXPECT_FALSE(Exists(folder_ + "/f.bin"));
    EXPECT_FALSE(Exists(folder_ + "/f.bin.td"));
    EXPECT_FALSE(Exists(folder_ + "/f.bin.td.cfg"));
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, HostileAnswerTest, ::testing::ValuesIn(kHostileCases),
                         testing_support::NamedBy(&HostileCase::label));

class FreeFloorTest : public HostileAnswerFixture, public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open()); }
  void TearDown() override { Close(); }
};

// An endless body without a length stops where the floor begins, with the
// disk-full code; its part stays for a later resume.
TEST_F(FreeFloorTest, EndlessBodyStopsAtTheFloor) {
  testing_server::RawHttpServer server;
  ASSERT_GT(server.port(), 0);
  server.SetAnswer(Answer("HTTP/1.1 200 OK", "", false, true));
  constexpr uint64_t kRoom = 8 * 1024 * 1024;
  const uint64_t free_bytes = FreeBytes();
  ASSERT_GT(free_bytes, 2 * kRoom);
  ::setenv("PHONEDECK_XLDL_FREE_FLOOR", std::to_string(free_bytes - kRoom).c_str(), 1);
  const XlTaskHandle task = Launch(server.Url("/endless"), "endless.bin");
  const XlTaskInfo info = WaitEnd(task);
  EXPECT_EQ(info.state, kXlStateFailed);
  EXPECT_EQ(info.fail_code, kXlFailFile);
  ASSERT_TRUE(Exists(folder_ + "/endless.bin.td"));
  // Room freed by others on the machine meanwhile may let a little more in.
  EXPECT_LE(std::filesystem::file_size(folder_ + "/endless.bin.td"), kRoom + 64 * 1024 * 1024);
  EXPECT_FALSE(Exists(folder_ + "/endless.bin"));
}

// A disk already at its floor is not asked to take anything: no request.
TEST_F(FreeFloorTest, DiskAtTheFloorFailsBeforeAnyRequest) {
  testing_server::DownloadServer server;
  ASSERT_GT(server.port(), 0);
  testing_server::Resource small;
  small.body = "tiny";
  server.Put("/tiny", small);
  ::setenv("PHONEDECK_XLDL_FREE_FLOOR", std::to_string(FreeBytes() + (1ull << 40)).c_str(), 1);
  const XlTaskInfo info = WaitEnd(Launch(server.Url("/tiny"), "tiny.bin"));
  EXPECT_EQ(info.state, kXlStateFailed);
  EXPECT_EQ(info.fail_code, kXlFailFile);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_FALSE(Exists(folder_ + "/tiny.bin.td"));

  ::unsetenv("PHONEDECK_XLDL_FREE_FLOOR");  // the same task goes through once there is room
  const XlTaskInfo again = WaitEnd(Launch(server.Url("/tiny"), "tiny.bin"));
  EXPECT_EQ(again.state, kXlStateFinished);
  EXPECT_EQ(ReadAll(folder_ + "/tiny.bin"), "tiny");
}

}  // namespace
