#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cctype>
#include <thread>
#include <vector>

#include "foundation/base/log.h"
#include "foundation/base/log_inout.h"
#include "foundation/base/path_util.h"
#include "foundation/base/swarm_log.h"
#include "temp_dir.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// Replaces every date and time "Y-M-D h:m:s" (plain decimals, a 4-digit
// year) with "T", so lines compare exactly.
std::string Stamped(const std::string& text) {
  std::string out;
  size_t i = 0;
  auto digits = [&text](size_t at, size_t* end) {
    size_t j = at;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
    *end = j;
    return j - at;
  };
  while (i < text.size()) {
    size_t at = i, end = 0;
    bool ok = digits(at, &end) == 4;
    const char seps[] = {'-', '-', ' ', ':', ':'};
    for (char sep : seps) {
      if (!ok) break;
      ok = end < text.size() && text[end] == sep;
      size_t n = ok ? digits(end + 1, &end) : 0;
      ok = ok && n >= 1 && n <= 2;
    }
    if (ok) {
      out += 'T';
      i = end;
    } else {
      out += text[i++];
    }
  }
  return out;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("PHONEDECK_PROGRAM_DIR", dir_.path().c_str(), 1);
    ::mkdir((dir_ / "log").c_str(), 0755);
  }
  void TearDown() override {
    base::BaseLog::ReleaseInstance();
    base::CBaseLog::ReleaseInstance();
    ::unsetenv("PHONEDECK_PROGRAM_DIR");
  }
  std::string LogFile() const { return dir_ / "log/zelvik.log"; }
  TempDir dir_;
};

TEST(LogLineTest, FormatByLevelAndSource) {
  struct Case {
    int level;
    const char* source;
    const char* message;
    const char* expected;  // T stands for the date and time
  } cases[] = {
      {8, ".\\phone", "x=5", "[INFO|T(phone:88)] x=5\r\n"},
      {8, nullptr, "short", "[INFO|T] short\r\n"},
      {3, "a\\b\\conn", "m", "[ERROR|T(conn:88)] m\r\n"},
      {0, nullptr, "m", "[|T] m\r\n"},
      {2, nullptr, "m", "[WARNING|T] m\r\n"},
      {4, nullptr, "m", "[TRACE|T] m\r\n"},
      {0xFFFF, nullptr, "m", "[ALL|T] m\r\n"},
      // "/" is no separator for the source; a message ending in "\n" leaves an empty line.
      {8, "dir/phone", "end\n", "[INFO|T(dir/phone:88)] end\r\n\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Stamped(base::BaseLog::FormatLine(c.level, c.source, 88, c.message)), c.expected);
  EXPECT_EQ(Stamped("[INFO|2026-3-7 9:5:2] x"), "[INFO|T] x");
}

TEST(LogLineTest, LongLineIsCutAndKeepsItsLineEnd) {
  std::string line = base::BaseLog::FormatLine(8, "phone", 1, std::string(5000, 'x'));
  EXPECT_EQ(line.size(), 1023u + 1u);  // 1023 bytes with "\n", plus the CR
  EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
  // A cut never splits a UTF-8 sequence.
  std::string chinese;
  for (int i = 0; i < 600; ++i) chinese += "中";
  line = base::BaseLog::FormatLine(8, "phone", 1, chinese);
  std::string body = line.substr(line.find("] ") + 2);
  body.resize(body.size() - 2);
  EXPECT_EQ(body.size() % 3, 0u);
}

TEST(LogSourceTest, SourceNameDropsFolderAndExtension) {
  EXPECT_EQ(base::SourceNameOf("/work/app/core/socket_thread.cpp"), "socket_thread");
  EXPECT_EQ(base::SourceNameOf(".\\socket_thread"), "socket_thread");
  EXPECT_EQ(base::SourceNameOf("phone.h"), "phone");
}

TEST(PathUtilTest, Table) {
  EXPECT_EQ(GetFileNameOfPath("a\\b/c.log"), "c.log");
  EXPECT_EQ(GetFileNameOfPath("plain"), "");
  EXPECT_EQ(GetDirectoryOfPath("/x/log/zelvik.log"), "/x/log");
  EXPECT_EQ(GetDirectoryOfPath("plain"), "");
  EXPECT_EQ(GetFileTitleOfPath("/x/a.b.log"), "a.b");
  EXPECT_EQ(GetCurrentModuleTitle(), "foundation_base_tests");
}

TEST_F(LogTest, WritesLinesWithCallerSourceAndLine) {
  base::BaseLog* log = base::BaseLog::GetInstance();
  ASSERT_TRUE(log->Open("log/zelvik.log"));
  const int line = __LINE__ + 1;
  PD_LOG_INFO("x=%d", 5);
  log->Write(1, nullptr, 0, "plain %s", "text");
  std::string text = ReadFile(LogFile());
  EXPECT_EQ(Stamped(text), "[INFO|T(log_test:" + std::to_string(line) + ")] x=5\r\n[ERROR|T] plain text\r\n");
}

TEST_F(LogTest, SizeRuleAtOpen) {
  struct Case {
    off_t size;
    bool kept;
  } cases[] = {{5242881, false}, {5242880, true}, {10, true}};
  for (const Case& c : cases) {
    WriteFile(LogFile(), "");
    ASSERT_EQ(::truncate(LogFile().c_str(), c.size), 0);
    base::BaseLog log;
    ASSERT_TRUE(log.Open("log/zelvik.log"));
    log.Write(8, nullptr, 0, "after");
    log.Close();
    std::string text = ReadFile(LogFile());
    std::string line = base::BaseLog::FormatLine(8, nullptr, 0, "after");
    EXPECT_EQ(text.size(), (c.kept ? static_cast<size_t>(c.size) : 0u) + line.size()) << c.size;
  }
}

TEST_F(LogTest, MissingFolderFailsAndWritesNothing) {
  base::BaseLog* log = base::BaseLog::GetInstance();
  EXPECT_FALSE(log->Open("nolog/zelvik.log"));
  EXPECT_FALSE(log->IsOpen());
  log->Write(8, "phone", 1, "dropped");
  struct stat st {};
  EXPECT_NE(::stat((dir_ / "nolog").c_str(), &st), 0);
}

TEST_F(LogTest, SecondOpenFailsAndKeepsFirstFile) {
  base::BaseLog* log = base::BaseLog::GetInstance();
  ASSERT_TRUE(log->Open("log/zelvik.log"));
  EXPECT_FALSE(log->Open("log/other.log"));
  log->Write(8, nullptr, 0, "one");
  EXPECT_NE(ReadFile(LogFile()).find("] one\r\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir_ / "log/other.log"), "");
  // Closed, it may be opened again; a released log makes a fresh, closed one.
  EXPECT_TRUE(log->Close());
  EXPECT_TRUE(log->Open("log/other.log"));
  base::BaseLog::ReleaseInstance();
  EXPECT_FALSE(base::BaseLog::GetInstance()->IsOpen());
}

TEST_F(LogTest, OpenWithoutNameUsesModuleTitle) {
  base::BaseLog* log = base::BaseLog::GetInstance();
  ASSERT_TRUE(log->Open());
  EXPECT_EQ(log->GetPath(), dir_.path() + "/log/foundation_base_tests.log");
}

TEST_F(LogTest, FilterMaskIsReadButEveryLevelIsWritten) {
  struct Case {
    const char* ini;
    int mask;
  } cases[] = {{nullptr, 15}, {"[filter]\nzelvik.log=4\n", 4}, {"[FILTER]\nZELVIK.LOG=-3\n", 15},
               {"[filter]\nzelvik.log=12abc\n", 12}, {"[filter]\nzelvik.log=abc\n", 0}};
  for (const Case& c : cases) {
    ::unlink((dir_ / "log/log.ini").c_str());
    if (c.ini != nullptr) WriteFile(dir_ / "log/log.ini", c.ini);
    base::BaseLog log;
    ASSERT_TRUE(log.Open("log/zelvik.log"));
    EXPECT_EQ(log.GetFilter().mask, c.mask) << (c.ini ? c.ini : "no log.ini");
    EXPECT_EQ(log.GetFilter().key, "zelvik.log");
  }
  base::BaseLog log;
  ASSERT_TRUE(log.Open("log/zelvik.log"));
  WriteFile(LogFile(), "");
  log.Write(8, nullptr, 0, "info passes a mask of 0");
  EXPECT_NE(ReadFile(LogFile()).find("info passes"), std::string::npos);
}

TEST_F(LogTest, FunctionTraceWritesEntryAndLeaveWithElapsedTime) {
  ASSERT_TRUE(base::BaseLog::GetInstance()->Open("log/zelvik.log"));
  {
    CLogInOut trace("CAutoTaskMgr::StartDownload");
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
  }
  std::string text = Stamped(ReadFile(LogFile()));
  const std::string entry = "[TRACE|T(log_inout:";
  const std::string entryEnd = ")] Function CAutoTaskMgr::StartDownload Entry\r\n";
  const std::string leaveMid = ")] Function CAutoTaskMgr::StartDownload Leave, used tick:";
  ASSERT_EQ(text.compare(0, entry.size(), entry), 0) << text;
  size_t at = text.find(entryEnd);
  ASSERT_NE(at, std::string::npos) << text;
  std::string leave = text.substr(at + entryEnd.size());
  ASSERT_EQ(leave.compare(0, entry.size(), entry), 0) << text;
  size_t mid = leave.find(leaveMid);
  ASSERT_NE(mid, std::string::npos) << text;
  std::string tail = leave.substr(mid + leaveMid.size());
  size_t digitsEnd = tail.find(" ms\r\n\r\n");
  ASSERT_NE(digitsEnd, std::string::npos) << text;
  EXPECT_EQ(digitsEnd + 7, tail.size());  // the leave line and an empty line end the file
  int ms = std::stoi(tail.substr(0, digitsEnd));
  EXPECT_GE(ms, 120);
  EXPECT_LT(ms, 5000);
}

TEST_F(LogTest, LinesOfManyThreadsStayWhole) {
  base::BaseLog* log = base::BaseLog::GetInstance();
  ASSERT_TRUE(log->Open("log/zelvik.log"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([log, t] {
      for (int i = 0; i < 200; ++i) log->Write(8, "worker", t, "thread %d line %d %s", t, i, std::string(100, 'z').c_str());
    });
  }
  for (auto& th : threads) th.join();
  std::string text = ReadFile(LogFile());
  size_t count = 0, at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    std::string line = Stamped(text.substr(at, end - at));
    EXPECT_EQ(line.compare(0, 15, "[INFO|T(worker:"), 0) << line;
    EXPECT_EQ(line.substr(line.size() - 101), " " + std::string(100, 'z')) << line;
    at = end + 2;
    ++count;
  }
  EXPECT_EQ(count, 800u);
}

TEST_F(LogTest, DownloadEngineLogOpensXldown) {
  base::CBaseLog* log = base::CBaseLog::GetInstance();
  ASSERT_NE(log, nullptr);
  ASSERT_TRUE(log->Open());
  PD_LOG_TO(log, base::kLogInfo, "delete down task(%s) \r\n", "http://x");
  EXPECT_NE(ReadFile(dir_ / "log/xldown.log").find("delete down task(http://x) \r\r\n\r\n"), std::string::npos);
  base::CBaseLog::ReleaseInstance();
  EXPECT_FALSE(base::CBaseLog::GetInstance()->IsOpen());
}

}  // namespace
