// The transport's pieces that need no service: the HTTP body framing, the
// header lines, the file name of a resource, the cross-process lock, the
// log line and the product version.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/base_proc.h"
#include "base/kit_log.h"
#include "transport/global_critical.h"
#include "transport/http_send.h"

namespace kitoracle {
namespace {

using Bytes = std::vector<uint8_t>;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/pd-kitoracle-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(KitoracleHttp, ReplyHeaderIsSkippedHoweverTheChunksFall) {
  Bytes body = {0, 1, 2, 3, 4, 1, 0, 0, 0, 0, 0, 'r', 'e', 'p', 'l', 'y'};
  // Chunk sizes, each run over the same body.
  std::vector<std::vector<size_t>> cuts = {{16},    {11, 5}, {3, 5, 3, 5}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4},
                                           {12, 4}, {10, 6}};
  for (const auto& cut : cuts) {
    uint8_t out[4096] = {};
    ReceiveState state;
    state.buffer = out;
    size_t at = 0;
    for (size_t n : cut) {
      ASSERT_EQ(n, state.Accept(body.data() + at, n));
      at += n;
    }
    EXPECT_EQ(5u, state.Stored());
    EXPECT_EQ("reply", std::string(reinterpret_cast<char*>(out), 5)) << "chunks: " << cut.size();
  }
}

TEST(KitoracleHttp, ReplyBodyBeyondTheBufferAbortsTheTransfer) {
  std::vector<uint8_t> out(4096);
  ReceiveState state;
  state.buffer = out.data();
  Bytes body(4096, 7);
  EXPECT_EQ(4096u, state.Accept(body.data(), body.size())) << "11 + 4085 bytes fit";
  EXPECT_EQ(4085u, state.Stored());
  EXPECT_EQ(0u, state.Accept(body.data(), 1));
}

TEST(KitoracleHttp, RequestBodyIsHeaderThenRequestInPiecesOf1024) {
  SendState send;
  send.body.resize(kPackageHeaderSize);
  MakePackageHeader(0x1234, send.body.data());
  EXPECT_EQ((Bytes{0, 0x34, 0x12, 0, 0, 1, 0, 0, 0, 0, 0}), send.body);
  send.body.insert(send.body.end(), 2500, 9);
  std::vector<size_t> pieces;
  uint8_t out[16384];
  for (size_t n; (n = send.Take(out, sizeof out)) > 0;) pieces.push_back(n);
  EXPECT_EQ((std::vector<size_t>{1024, 1024, 463}), pieces);
  SendState small;
  small.body.assign(20, 1);
  EXPECT_EQ(5u, small.Take(out, 5)) << "never more than libcurl's room";
}

TEST(KitoracleHttp, HeaderLinesInOrder) {
  EXPECT_EQ((std::vector<std::string>{"Content-Length:111", "ServerID:21", "UnionID:1110",
                                      "HOSTMARK:000102030405060708090a0b0c0d0e0f", "ClientVersion:562954248388643"}),
            BuildHtmlHeaderLines(21, 111, 1110, "000102030405060708090a0b0c0d0e0f", 0x0002000100000023ull));
}

TEST(KitoracleHttp, ResourceFileNameFromHeadersOrUrl) {
  const std::string url = "http://127.0.0.1:8080/files/c.apk?x=1";
  struct Case {
    const char* headers;
    const char* expected;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=a.apk\r\n\r\n", "a.apk"},
      {"HTTP/1.1 200 OK\r\ncontent-disposition: attachment; filename=\"a b.apk\"; size=5\r\n\r\n", "a b.apk"},
      {"HTTP/1.1 200 OK\r\nCONTENT-DISPOSITION:attachment;FILENAME=\"../../etc/evil.apk\"\r\n\r\n", "evil.apk"},
      {"HTTP/1.1 302 Found\r\nLocation: /dir/first.apk\r\n\r\nHTTP/1.1 302 Found\r\nlocation: "
       "http://127.0.0.1/dir/b.apk?token=1#frag\r\n\r\nHTTP/1.1 200 OK\r\n\r\n",
       "b.apk"},
      {"HTTP/1.1 200 OK\r\nX-Content-Disposition: filename=wrong.apk\r\n\r\n", "c.apk"},
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\"..\"\r\n\r\n", "c.apk"},
      {"", "c.apk"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, ResourceFileName(c.headers, url)) << c.headers;
  EXPECT_EQ("", ResourceFileName("", "http://127.0.0.1/"));
}

TEST(KitoracleLock, ADeadHolderNeverBlocksTheNextProcess) {
  TempFolder folder;
  setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
  const std::u16string name = u"Global\\CSearch{22A22BE6-EAFF-4ffe-A5D0-C359383E1047}program";
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CGlobalCritical holder;
    if (!holder.SetName(name)) _exit(2);
    holder.Enter();
    char c = 1;
    if (write(ready[1], &c, 1) != 1) _exit(3);
    pause();  // holds the lock until killed
    _exit(0);
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(1, read(ready[0], &c, 1));
  close(ready[0]);

  CGlobalCritical other;
  ASSERT_TRUE(other.SetName(u"Global\\CSearch{22A22BE6-EAFF-4ffe-A5D0-C359383E1047}another"));
  other.Enter();  // a different program file is not held up
  other.Leave();

  CGlobalCritical mine;
  ASSERT_TRUE(mine.SetName(name));
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    mine.Enter();
    entered = true;
    mine.Leave();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a negative check needs a bound
  EXPECT_FALSE(entered) << "the lock is held by the other process";
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  waiter.join();  // the kernel dropped the dead holder's lock
  EXPECT_TRUE(entered);

  struct stat st;
  std::string path = CGlobalCritical::LockFilePath(folder.path(), name);
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777);
  EXPECT_EQ(folder.path() + "/CSearch{22A22BE6-EAFF-4ffe-A5D0-C359383E1047}program.lock", path);
}

TEST(KitoracleLock, NamesAndFoldersAreChecked) {
  CGlobalCritical lock;
  EXPECT_FALSE(lock.SetName(u""));
  EXPECT_FALSE(lock.SetName(u"Global\\"));
  EXPECT_FALSE(lock.SetName(u"Local\\CSearch"));
  TempFolder folder;
  chmod(folder.path().c_str(), 0755);  // not private: the runtime folder is passed over
  setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
  setenv("TMPDIR", folder.path().c_str(), 1);
  EXPECT_EQ(folder.path() + "/phonedeck-" + std::to_string(getuid()), CGlobalCritical::PrivateFolder());
  EXPECT_TRUE(lock.SetName(u"gLoBaL\\x/../y"));
  EXPECT_TRUE(lock.HasFile());
  EXPECT_EQ(folder.path() + "/x_.._y.lock", CGlobalCritical::LockFilePath(folder.path(), u"gLoBaL\\x/../y"));
  // The threads of one process are serialised as well.
  lock.Enter();
  std::atomic<bool> entered{false};
  std::thread second([&] {
    lock.Enter();
    entered = true;
    lock.Leave();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(entered);
  lock.Leave();
  second.join();
  EXPECT_TRUE(entered);
  unsetenv("TMPDIR");
}

TEST(KitoracleLog, NameFieldAndLineForm) {
  std::string file44 = "kitoracle_source_file_named_for_the_library.c";  // 45 characters
  file44.pop_back();
  ASSERT_EQ(44u, file44.size());
  EXPECT_EQ(file44.substr(44 - 11) + "|CBaseLog::LogInit", CBaseLog::NameField(file44.c_str(), "CBaseLog::LogInit"));
  std::string name28(28, 'f');
  EXPECT_EQ(" " + name28, CBaseLog::NameField("x.cpp", name28.c_str()));
  EXPECT_EQ(std::string(29 - 8, ' ') + "a.cpp|fn", CBaseLog::NameField("/src/a.cpp", "fn"));
  std::string name40(40, 'g');
  EXPECT_EQ(std::string(29, 'g'), CBaseLog::NameField("a.cpp", name40.c_str()));

  TempFolder folder;
  ASSERT_EQ(0, mkdir((folder.path() + "/log").c_str(), 0700));
  setenv("PHONEDECK_PROGRAM_DIR", folder.path().c_str(), 1);
  std::string path = folder.path() + "/log/kitoracle.log";
  {
    std::ofstream big(path, std::ios::binary);
    big << std::string(1048577, 'x');
  }
  CBaseLog& log = CBaseLog::Instance();
  EXPECT_EQ(path, log.LogPath("kitoracle.log"));
  struct stat st;
  EXPECT_NE(0, stat(path.c_str(), &st)) << "a file over 1,048,576 bytes is deleted";
  log.LogInit(path, "/src/exports_lifecycle.cpp");
  ASSERT_TRUE(log.IsOpen());
  EXPECT_EQ("", log.LogPath("kitoracle.log")) << "no path while open";
  KIT_LOG("value[%d] text[%s]", 42, "华为");
  log.LogClose();
  KIT_LOG("not written");
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string all = text.str();
  EXPECT_NE(std::string::npos, all.find("日志系统初始化成功[exports_lifecycle.cpp].\r\n\r\n"));
  EXPECT_NE(std::string::npos, all.find("transport_test.cpp|TestBody]---value[42] text[华为]\r\n\r\n"));
  EXPECT_NE(std::string::npos, all.find("---日志关闭\r\n\r\n\r\n"));
  EXPECT_EQ(std::string::npos, all.find("not written"));
  EXPECT_EQ('[', all[0]);
  EXPECT_EQ('-', all[5]);
  unsetenv("PHONEDECK_PROGRAM_DIR");
}

// The union ID is read from the machine's key, then from the user's; each
// key that cannot be opened and each value that cannot be read is logged.
TEST(KitoracleBase, UnionIdFromTheMachineThenTheUserWithEachMissLogged) {
  const std::string machine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QENSoft\\Hollowmere2013]\n";
  const std::string user = "[HKEY_CURRENT_USER\\SOFTWARE\\QENSoft\\Hollowmere2013]\n";
  const std::string value = "UnionID=dword:00000457\n";
  struct Case {
    const char* name;
    std::string registry;
    bool found;
    int opens_failed;
    int queries_failed;
  } cases[] = {
      {"no keys", "", false, 2, 0},
      {"the machine's value", machine + value, true, 0, 0},
      {"only the user's key and value", user + value, true, 1, 0},
      {"the machine's key without the value", machine + user + value, true, 0, 1},
      {"keys without values", machine + user, false, 0, 2},
  };
  TempFolder folder;
  ASSERT_EQ(0, mkdir((folder.path() + "/log").c_str(), 0700));
  ASSERT_EQ(0, mkdir((folder.path() + "/Zelvik").c_str(), 0700));
  setenv("PHONEDECK_PROGRAM_DIR", folder.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
  const std::string path = folder.path() + "/log/kitoracle.log";
  CBaseLog& log = CBaseLog::Instance();
  auto count = [](const std::string& text, const std::string& line) {
    int n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(folder.path() + "/Zelvik/registry.ini", std::ios::trunc) << c.registry;
    std::remove(path.c_str());
    log.LogInit(path, "transport_test.cpp");
    uint32_t id = 0;
    EXPECT_EQ(c.found, QenRegGetValue(&id));
    EXPECT_EQ(c.found ? 0x457u : 0u, id);
    log.LogClose();
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(c.opens_failed, count(text.str(), "---error RegOpenKeyEx")) << text.str();
    EXPECT_EQ(c.queries_failed, count(text.str(), "---error RegQueryValueEx")) << text.str();
  }
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("PHONEDECK_PROGRAM_DIR");
}

TEST(KitoracleBase, ProductVersionText) {
  struct Case {
    const char* text;
    bool ok;
    uint64_t version;
  } cases[] = {
      {"6, 0, 1, 12", true, 0x0006000000010000ull | 12},
      {"6.0.1.12", true, 0x0006000000010000ull | 12},
      {"2.1.0.35", true, 0x000200010000ull << 16 | 35},
      {"1.2.3", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    uint64_t v = 0;
    EXPECT_EQ(c.ok, ParseProductVersion(c.text, &v)) << c.text;
    if (c.ok) {
      EXPECT_EQ(c.version, v) << c.text;
    }
  }
}

}  // namespace
}  // namespace kitoracle
