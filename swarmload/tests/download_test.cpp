// The exports over the real engine and the loopback download server: a
// download completes and is recorded, resumes after a cut and after a stop,
// a corrupt scheme download is refused, HTTP errors fail; and the plain
// download behind P2SPWininetDown.
#include <string>

#include "download_server.h"
#include "foundation/base/code_page.h"
#include "swarmload_fixture.h"

namespace {

using testing_server::Pattern;
using testing_server::Resource;

constexpr char kGoodHash[] = "b64492ed17105728b0faaeb1687a39a8";  // the file digest of "good file"

class RealEngineTest : public SwarmloadFixture {
 protected:
  void SetUp() override {
    ASSERT_GT(server_.port(), 0);
    ASSERT_NO_FATAL_FAILURE(Prepare(ENGINE_LIBRARY));
  }

  testing_server::DownloadServer server_;
};

TEST_F(RealEngineTest, DownloadCompletesAndIsRecorded) {
  Resource r;
  r.generated_size = 200000;
  server_.Put("/app.apk", r);
  const std::string url = server_.Url("/app.apk");
  const std::string path = downloads_ + "/app.apk";
  ASSERT_TRUE(P2SPNewTask(url.c_str(), path.c_str(), 0));
  EXPECT_EQ(WaitStatus(url), 6);
  EXPECT_EQ(ReadText(path), Pattern(0, 200000));
  EXPECT_EQ(RecordedPath(url), path);
  EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, path.c_str()), 1);  // the size the engine learnt
  EXPECT_EQ(server_.Requests().back().user_agent.substr(0, 11), "Mozilla/5.0");
}

// The names the caller chose are the names on disk: quotes and blanks are
// ordinary characters, and the finished-file check finds the file by them.
TEST_F(RealEngineTest, CallerChosenNamesAreKept) {
  Resource r;
  r.body = "named";
  server_.Put("/named.bin", r);
  int n = 0;
  for (const char* name : {"it's-файл.bin", "say \"hi\".apk", " blank .apk", "back\\slash.apk"}) {
    const std::string url = server_.Url("/named.bin") + "?" + std::to_string(n++);
    const std::string path = downloads_ + "/" + name;
    ASSERT_TRUE(P2SPNewTask(url.c_str(), path.c_str(), 0)) << name;
    EXPECT_EQ(WaitStatus(url), 6) << name;
    EXPECT_EQ(ReadText(path), "named") << name;
    EXPECT_EQ(RecordedPath(url), path) << name;
    EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, path.c_str()), 1) << name;
  }
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(downloads_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 4u);  // nothing saved under a changed name
}

// A task database that is no database is set aside at the start and made
// again, and finished downloads are recorded in the new one.
TEST_F(RealEngineTest, DamagedTaskDatabaseIsMadeAgain) {
  P2SPClose();
  const std::string damaged(600, 'Z');
  WriteText(work_ + "/DownLoadInfo.db", damaged);
  ASSERT_EQ(P2SPInit(work_.c_str()), 1);
  Resource r;
  r.body = "after";
  server_.Put("/after.bin", r);
  const std::string url = server_.Url("/after.bin");
  ASSERT_TRUE(P2SPNewTask(url.c_str(), (downloads_ + "/after.bin").c_str(), 0));
  EXPECT_EQ(WaitStatus(url), 6);
  EXPECT_EQ(RecordedPath(url), downloads_ + "/after.bin");
  std::string aside;
  for (const auto& entry : std::filesystem::directory_iterator(work_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("DownLoadInfo.db.damaged-", 0) == 0) aside = name;
  }
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(ReadText(work_ + "/" + aside), damaged);
  const std::string log = ReadText(program_ + "/log/xldown.log");
  EXPECT_NE(log.find("DownLoadInfo.db is damaged(26): moved aside to " + work_ + "/" + aside), std::string::npos) << log;
  EXPECT_EQ(log.find("UpdateDownLoadInfo failed"), std::string::npos) << log;
}

TEST_F(RealEngineTest, ResumesAfterACutAndAfterAStop) {
  Resource r = testing_server::Generated(600000, 250000, 1);
  server_.Put("/cut.bin", r);
  const std::string url = server_.Url("/cut.bin");
  ASSERT_TRUE(P2SPNewTask(url.c_str(), (downloads_ + "/cut.bin").c_str(), 0));
  EXPECT_EQ(WaitStatus(url), 6);
  EXPECT_EQ(ReadText(downloads_ + "/cut.bin"), Pattern(0, 600000));
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "bytes=250000-");
  EXPECT_EQ(requests[0].bytes_sent + requests[1].bytes_sent, 600000u);  // nothing fetched twice

  Resource slow;
  slow.generated_size = 300000;
  slow.bytes_per_second = 300000;
  server_.Put("/slow.bin", slow);
  const std::string slow_url = server_.Url("/slow.bin");
  ASSERT_TRUE(P2SPNewTask(slow_url.c_str(), (downloads_ + "/slow.bin").c_str(), 0));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (P2SPGetTaskDownloadedSize(slow_url.c_str()) < 30000 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(P2SPGetTaskFileSize(slow_url.c_str()), 300000u);
  EXPECT_EQ(P2SPStopTask(slow_url.c_str()), 1);
  EXPECT_EQ(P2SPGetTaskStatus(slow_url.c_str()), 5);
  EXPECT_EQ(P2SPIsExistTask(slow_url.c_str()), 0);
  const uint64_t kept = std::filesystem::file_size(downloads_ + "/slow.bin.td");
  EXPECT_GE(kept, 30000u);

  slow.bytes_per_second = 0;
  server_.Put("/slow.bin", slow);
  ASSERT_TRUE(P2SPNewTask(slow_url.c_str(), (downloads_ + "/slow.bin").c_str(), 0));
  EXPECT_EQ(WaitStatus(slow_url), 6);
  EXPECT_EQ(ReadText(downloads_ + "/slow.bin"), Pattern(0, 300000));
  EXPECT_EQ(server_.Requests().back().range, "bytes=" + std::to_string(kept) + "-");
}

TEST_F(RealEngineTest, SchemeDownloadIsRefusedWhenCorrupt) {
  Resource good;
  good.body = "good file";
  server_.Put("/good.apk", good);
  Resource bad;
  bad.body = "bad file!";
  server_.Put("/bad.apk", bad);
  const std::string link = std::string("QEN://game.apk&") + kGoodHash + "=1";
  const std::u16string bad_url = AnsiToWString(server_.Url("/bad.apk"));
  kit_answer_(0, bad_url.c_str(), u"game.apk");
  ASSERT_TRUE(P2SPNewTask(link.c_str(), downloads_.c_str(), 0));
  EXPECT_EQ(WaitStatus(link), 10);
  EXPECT_EQ(RecordedPath(link), "");
  EXPECT_EQ(Reports(), 1);

  const std::string other = std::string("QEN://other.apk&") + kGoodHash + "=2";
  const std::u16string good_url = AnsiToWString(server_.Url("/good.apk"));
  kit_answer_(0, good_url.c_str(), u"");
  ASSERT_TRUE(P2SPNewTask(other.c_str(), downloads_.c_str(), 0));
  EXPECT_EQ(WaitStatus(other), 6);
  EXPECT_EQ(RecordedPath(other), downloads_ + "/other.apk");
  EXPECT_EQ(ReadText(downloads_ + "/other.apk"), "good file");
}

TEST_F(RealEngineTest, HttpErrorsFailAfterTheirRetryRule) {
  Resource missing;
  missing.status = 404;
  server_.Put("/missing", missing);
  Resource broken;
  broken.status = 500;
  server_.Put("/broken", broken);
  const std::string missing_url = server_.Url("/missing");
  const std::string broken_url = server_.Url("/broken");
  ASSERT_TRUE(P2SPNewTask(missing_url.c_str(), (downloads_ + "/m").c_str(), 0));
  EXPECT_EQ(WaitStatus(missing_url), 7);  // 4xx: no retry
  ASSERT_TRUE(P2SPNewTask(broken_url.c_str(), (downloads_ + "/b").c_str(), 0));
  EXPECT_EQ(WaitStatus(broken_url), 7);  // 5xx: retried once, then failed
  size_t missing_requests = 0, broken_requests = 0;
  for (const auto& request : server_.Requests()) {
    missing_requests += request.path == "/missing";
    broken_requests += request.path == "/broken";
  }
  EXPECT_EQ(missing_requests, 1u);
  EXPECT_EQ(broken_requests, 2u);
  EXPECT_FALSE(PathExists(downloads_ + "/m"));
}

TEST_F(RealEngineTest, PlainDownloadWritesAllOrNothing) {
  Resource odd;
  odd.body = Pattern(0, 3000);  // not a multiple of 1,024
  server_.Put("/odd", odd);
  Resource empty;
  server_.Put("/empty", empty);
  Resource missing;
  missing.status = 404;
  server_.Put("/missing", missing);
  Resource cut;
  cut.body = Pattern(0, 5000);
  cut.cut_after = 1000;
  cut.cuts = 1;
  server_.Put("/cut", cut);
  const struct {
    const char* path;
    bool ok;
    std::string content;
  } cases[] = {
      {"/odd", true, Pattern(0, 3000)},
      {"/empty", true, ""},
      {"/missing", false, ""},
      {"/cut", false, ""},
  };
  for (const auto& c : cases) {
    const std::string file = downloads_ + "/direct" + std::string(c.path).substr(1);
    const std::u16string url = AnsiToWString(server_.Url(c.path));
    EXPECT_EQ(P2SPWininetDown(url.c_str(), AnsiToWString(file).c_str()), c.ok) << c.path;
    EXPECT_EQ(PathExists(file), c.ok) << c.path;
    if (c.ok) {
      EXPECT_EQ(ReadText(file), c.content);
    }
  }
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(downloads_)) entries += entry.is_regular_file();
  EXPECT_EQ(entries, 2u);  // no temporary left behind
}

TEST(PlainDownload, NeedsTheSession) {
  EXPECT_FALSE(P2SPWininetDown(u"http://127.0.0.1:9/x", u"/tmp/never-written"));
}

TEST(CheckTaskEx, KindOneAnswersAtOnceEvenBeforeInit) { EXPECT_EQ(P2SPCheckTaskEx("u", 1, "p"), 1); }

}  // namespace
