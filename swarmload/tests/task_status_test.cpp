// The exports over the scripted engine: status codes and the retry, the
// finished-file check, field limits, file names, stale temporary files,
// the proxy record and the counted start and close.
#include <cstring>
#include <memory>

#include "foundation/base/code_page.h"
#include "swarmload_fixture.h"
#include "xldl.h"

namespace {

constexpr char kGoodHash[] = "b64492ed17105728b0faaeb1687a39a8";  // the file digest of "good file"
constexpr char kBadHash[] = "edb14950e58dc7eec553a3fe4cf93d61";   // of "bad file!"

std::string g_hook_url;  // the url the query hook deletes
void DeleteFromHook() { P2SPDelTask(g_hook_url.c_str()); }

class ScriptedEngineTest : public SwarmloadFixture {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Prepare(ENGINE_SCRIPT));
    engine_ = ::dlopen((program_ + "/libxldl.so").c_str(), RTLD_NOW);
    ASSERT_NE(engine_, nullptr) << ::dlerror();
    Bind(engine_, "EngineScript_Reset", &reset_);
    Bind(engine_, "EngineScript_SetState", &set_state_);
    Bind(engine_, "EngineScript_LastHandle", &last_handle_);
    Bind(engine_, "EngineScript_Calls", &calls_);
    Bind(engine_, "EngineScript_Block", &block_);
    Bind(engine_, "EngineScript_LastProxy", &last_proxy_);
    Bind(engine_, "EngineScript_SetQueryHook", &set_hook_);
    Bind(engine_, "EngineScript_SetKnownSize", &known_size_);
    Bind(engine_, "EngineScript_SetInitResult", &init_result_);
    reset_();
  }
  void TearDown() override {
    SwarmloadFixture::TearDown();
    if (engine_ != nullptr) ::dlclose(engine_);
  }

  // A new task for `url` saving to `path`; its engine handle (0 on failure).
  XlTaskHandle New(const std::string& url, const std::string& path) {
    const XlTaskHandle before = last_handle_();
    if (!P2SPNewTask(url.c_str(), path.c_str(), 0)) return 0;
    const XlTaskHandle handle = last_handle_();
    return handle != before ? handle : 0;
  }

  std::string Calls() { return calls_(); }

  struct BlockTexts {
    std::string url, folder, name;
  };
  BlockTexts Block(XlTaskHandle handle) {
    auto block = std::make_unique<XlTaskParam>();
    block_(handle, block.get());
    return {WStringToAnsi(block->url), WStringToAnsi(block->save_folder), WStringToAnsi(block->file_name)};
  }

  std::string SchemeLink(const std::string& name, const std::string& hash) { return "QEN://" + name + "&" + hash + "=1"; }

  void* engine_ = nullptr;
  void (*reset_)() = nullptr;
  void (*set_state_)(XlTaskHandle, int32_t, int32_t, const char16_t*, uint64_t, uint64_t, uint32_t) = nullptr;
  XlTaskHandle (*last_handle_)() = nullptr;
  const char* (*calls_)() = nullptr;
  void (*block_)(XlTaskHandle, XlTaskParam*) = nullptr;
  void (*last_proxy_)(XlProxyRecord*) = nullptr;
  void (*set_hook_)(void (*)()) = nullptr;
  void (*known_size_)(int64_t) = nullptr;
  void (*init_result_)(int) = nullptr;
};

TEST_F(ScriptedEngineTest, StatusCodesAndTheSingleRetry) {
  const struct {
    int32_t state;
    int32_t fail_code;
    int status;
    bool kept;
    bool retried;
  } cases[] = {
      {0, 0, 2, true, false},  {9, 0, 2, true, false},  {3, 0, 4, true, false},
      {2, 0, 5, false, false}, {1, 3, 7, true, false},  {1, 8, 7, true, false},
      {1, 0, 4, true, true},   {1, 5, 4, true, true},   {1, 6, 4, true, true},
      {1, 67, 4, true, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string url = "http://127.0.0.1:9/status" + std::to_string(n++);
    const XlTaskHandle handle = New(url, downloads_ + "/s.bin");
    ASSERT_NE(handle, 0u);
    set_state_(handle, c.state, c.fail_code, u"", 0, 0, 0);
    EXPECT_EQ(P2SPGetTaskStatus(url.c_str()), c.status) << c.state << "/" << c.fail_code;
    EXPECT_EQ(P2SPIsExistTask(url.c_str()), c.kept ? 1 : 0) << c.state << "/" << c.fail_code;
    // Why a task failed is read back only while it stays failed.
    EXPECT_EQ(P2SPGetTaskErrorCode(url.c_str()), c.status == 7 ? c.fail_code : 0) << c.state << "/" << c.fail_code;
    if (!c.retried) continue;
    const XlTaskHandle again = last_handle_();
    ASSERT_NE(again, handle);
    const std::string h = std::to_string(handle), a = std::to_string(again);
    EXPECT_NE(Calls().find("Stop(" + h + ");Delete(" + h + ");DelTempFile;Create(" + a + ");Start(" + a + ")"),
              std::string::npos)
        << Calls();
    EXPECT_EQ(Block(again).url, url);  // the same block again
    // The second failure of the same task is final, and the task stays.
    set_state_(again, 1, c.fail_code, u"", 0, 0, 0);
    EXPECT_EQ(P2SPGetTaskStatus(url.c_str()), 7);
    EXPECT_EQ(P2SPIsExistTask(url.c_str()), 1);
    EXPECT_EQ(P2SPGetTaskErrorCode(url.c_str()), c.fail_code);
  }
  EXPECT_EQ(P2SPGetTaskStatus("http://127.0.0.1:9/no-task"), 6);
}

TEST_F(ScriptedEngineTest, FinishedPlainTaskIsRecordedAndQueriesReadTheEngine) {
  const std::string url = "http://127.0.0.1:9/plain.bin";
  const XlTaskHandle handle = New(url, downloads_ + "/plain.bin");
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(Block(handle).folder, downloads_);
  EXPECT_EQ(Block(handle).name, "plain.bin");
  set_state_(handle, 3, 0, u"plain.bin", 1000, 400, 123);
  EXPECT_EQ(P2SPGetTaskFileSize(url.c_str()), 1000u);
  EXPECT_EQ(P2SPGetTaskDownloadedSize(url.c_str()), 400u);
  EXPECT_EQ(P2SPGetTaskSpeed(url.c_str()), 123);
  WriteText(downloads_ + "/plain.bin", "12345");
  set_state_(handle, 4, 0, u"plain.bin", 5, 5, 0);
  EXPECT_EQ(P2SPGetTaskStatus(url.c_str()), 6);
  EXPECT_EQ(P2SPIsExistTask(url.c_str()), 0);
  EXPECT_EQ(P2SPGetTaskFileSize(url.c_str()), 0u);
  const std::string path = downloads_ + "/plain.bin";
  EXPECT_EQ(RecordedPath(url), path);

  // The buffer must hold the path and its terminator.
  std::string buffer(path.size(), 'x');
  EXPECT_EQ(P2SPGetTaskFileName(url.c_str(), buffer.data(), static_cast<int>(path.size())), 0);
  EXPECT_EQ(buffer, std::string(path.size(), 'x'));
  std::string roomy(path.size() + 1, 'x');
  EXPECT_EQ(P2SPGetTaskFileName(url.c_str(), roomy.data(), static_cast<int>(roomy.size())),
            static_cast<int>(path.size()));
}

// An engine that reports a finished task without its file's name: the file
// is the one the block named.
TEST_F(ScriptedEngineTest, FinishedTaskWithoutANameIsRecordedUnderTheBlocksName) {
  const std::string url = "http://127.0.0.1:9/unnamed";
  const std::string path = downloads_ + "/it's named.bin";
  const XlTaskHandle handle = New(url, path);
  ASSERT_NE(handle, 0u);
  WriteText(path, "12345");
  set_state_(handle, 4, 0, u"", 5, 5, 0);
  EXPECT_EQ(P2SPGetTaskStatus(url.c_str()), 6);
  EXPECT_EQ(RecordedPath(url), path);
}

// 1 means the finished file is recorded: a row the database refuses is 0.
TEST_F(ScriptedEngineTest, CheckTaskExAnswersOneOnlyForARecordedFile) {
  WriteText(downloads_ + "/f.bin", "12345");
  const std::string path = downloads_ + "/f.bin";
  const std::string too_long = "http://127.0.0.1:9/" + std::string(2000, 'u');  // beyond the insert statement
  EXPECT_EQ(P2SPCheckTaskEx(too_long.c_str(), 2, path.c_str()), 0);
  EXPECT_EQ(RecordedPath(too_long), "");
  const std::string url = "http://127.0.0.1:9/f.bin";
  EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, path.c_str()), 1);
  EXPECT_EQ(RecordedPath(url), path);
  EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, path.c_str()), 1);  // already recorded with this path
}

TEST_F(ScriptedEngineTest, CorruptSchemeDownloadIsReportedAndNeverRecorded) {
  kit_answer_(0, u"http://127.0.0.1:9/real/game.apk", u"game.apk");
  const std::string link = SchemeLink("game.apk", std::string(kGoodHash));
  const XlTaskHandle handle = New(link, downloads_);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(Block(handle).url, "http://127.0.0.1:9/real/game.apk");
  EXPECT_EQ(Block(handle).folder, downloads_);
  EXPECT_EQ(Block(handle).name, "game.apk");

  WriteText(downloads_ + "/game.apk", "bad file!");
  set_state_(handle, 4, 0, u"game.apk", 9, 9, 0);
  EXPECT_EQ(P2SPGetTaskStatus(link.c_str()), 10);
  EXPECT_EQ(RecordedPath(link), "");  // a corrupt file is never handed out
  EXPECT_EQ(P2SPGetTaskStatus(link.c_str()), 6);
  ASSERT_EQ(Reports(), 1);
  uint32_t union_id = 0;
  int32_t kind = 0;
  uint8_t identity[16] = {0};
  const std::string text = WStringToAnsi(kit_report_(&union_id, &kind, identity));
  EXPECT_EQ(text, std::string("{\"Hash1\":\"") + kGoodHash + "\",\"Hash2\":\"" + kBadHash + "\"}");
  EXPECT_EQ(kind, 10);
  EXPECT_EQ(union_id, 0x457u);
  EXPECT_NE(identity[0] | identity[1] | identity[2] | identity[3], 0);  // from libHostmark.so
  const std::string log = ReadText(program_ + "/log/xldown.log");
  EXPECT_NE(log.find("File hash check error.[" + downloads_ + "/game.apk]"), std::string::npos);

  // The good file passes; the link is answered from the cache.
  const XlTaskHandle again = New(link, downloads_);
  WriteText(downloads_ + "/game.apk", "good file");
  set_state_(again, 4, 0, u"game.apk", 9, 9, 0);
  EXPECT_EQ(P2SPGetTaskStatus(link.c_str()), 6);
  EXPECT_EQ(RecordedPath(link), downloads_ + "/game.apk");
  EXPECT_EQ(Searches(), 1);
}

TEST_F(ScriptedEngineTest, TaskDeletedDuringAStatusQueryIsNoTask) {
  g_hook_url = "http://127.0.0.1:9/raced.bin";
  const XlTaskHandle handle = New(g_hook_url, downloads_ + "/raced.bin");
  ASSERT_NE(handle, 0u);
  WriteText(downloads_ + "/raced.bin", "x");
  set_state_(handle, 4, 0, u"raced.bin", 1, 1, 0);
  set_hook_(&DeleteFromHook);
  EXPECT_EQ(P2SPGetTaskStatus(g_hook_url.c_str()), 6);
  const std::string calls = Calls();
  const std::string deleted = "Delete(" + std::to_string(handle) + ")";
  EXPECT_EQ(calls.find(deleted), calls.rfind(deleted)) << calls;  // deleted once
  EXPECT_EQ(calls.find("Stop(" + std::to_string(handle) + ")"), std::string::npos) << calls;
  EXPECT_EQ(RecordedPath(g_hook_url), "");
}

TEST_F(ScriptedEngineTest, TextsThatDoNotFitTheBlockAreRefused) {
  const std::string url = "http://127.0.0.1:9/f";
  const std::string long_folder = downloads_ + "/" + std::string(258 - downloads_.size(), 'd');
  const std::string fits_folder = downloads_ + "/" + std::string(257 - downloads_.size(), 'd');
  const struct {
    std::string url;
    std::string path;
    bool created;
  } cases[] = {
      {url, downloads_ + "/" + std::string(259, 'n'), true},
      {url, downloads_ + "/" + std::string(260, 'n'), false},
      {url, fits_folder + "/f.bin", true},
      {url, long_folder + "/f.bin", false},
      {"http://127.0.0.1:9/" + std::string(2083 - 19, 'u'), downloads_ + "/u.bin", true},
      {"http://127.0.0.1:9/" + std::string(2084 - 19, 'u'), downloads_ + "/u.bin", false},
      {url, "/" + std::string(1100, 'p'), false},
  };
  for (const auto& c : cases) {
    const std::string before = Calls();
    EXPECT_EQ(New(c.url, c.path) != 0, c.created) << c.url.size() << " " << c.path.size();
    if (!c.created) {
      EXPECT_EQ(Calls(), before);
    }
  }
}

TEST_F(ScriptedEngineTest, NamesFromTheServiceStayInsideTheDownloadFolder) {
  const struct {
    const char16_t* service_name;
    const char* name;
  } cases[] = {
      {u"../evil.apk", "evil.apk"},
      {u"/etc/cron.d/job", "job"},
      {u"..", "game.apk"},  // nothing usable: the link's own name
      {u"", "game.apk"},
      {u"a\"b\u0007.apk", "a\"b.apk"},
      {u"it's-файл.bin", "it's-файл.bin"},
  };
  int n = 0;
  for (const auto& c : cases) {
    kit_answer_(0, u"http://127.0.0.1:9/real", c.service_name);
    const std::string link = "QEN://game.apk&" + std::string(kGoodHash).substr(0, 30) + std::to_string(10 + n++) + "=x";
    const XlTaskHandle handle = New(link, downloads_);
    ASSERT_NE(handle, 0u) << link;
    EXPECT_EQ(Block(handle).folder, downloads_);
    EXPECT_EQ(Block(handle).name, c.name);
  }
}

TEST_F(ScriptedEngineTest, SchemeLinksThatDoNotResolveCreateNothing) {
  kit_answer_(5, u"", u"");
  EXPECT_FALSE(P2SPNewTask(SchemeLink("game.apk", kGoodHash).c_str(), downloads_.c_str(), 0));
  EXPECT_FALSE(P2SPNewTask("QEN://game.apk&0123=1", downloads_.c_str(), 0));
  EXPECT_EQ(Calls().find("Create"), std::string::npos);
  const std::string log = ReadText(program_ + "/log/xldown.log");
  EXPECT_NE(log.find("DSSearchServerRes url(QEN://game.apk&"), std::string::npos);
  EXPECT_NE(log.find("error url(QEN://game.apk&0123=1) failed"), std::string::npos);
}

TEST_F(ScriptedEngineTest, StaleNumberedTemporaryFilesGo) {
  const std::string base = downloads_ + "/game";
  for (const char* name : {"(0).apk.td", "(1).apk.td", "(1).apk.td.cfg", "(99).apk.td.cfg", "(100).apk.td",
                                   ".apk", ".apk.td", "(2).td"}) {
    WriteText(base + name, "x");
  }
  ASSERT_NE(New("http://127.0.0.1:9/game.apk", base + ".apk"), 0u);
  EXPECT_TRUE(PathExists(base + "(0).apk.td"));
  EXPECT_FALSE(PathExists(base + "(1).apk.td"));
  EXPECT_FALSE(PathExists(base + "(1).apk.td.cfg"));
  EXPECT_FALSE(PathExists(base + "(99).apk.td.cfg"));
  EXPECT_TRUE(PathExists(base + "(100).apk.td"));
  EXPECT_FALSE(PathExists(base + ".apk"));    // the target itself
  EXPECT_TRUE(PathExists(base + ".apk.td"));  // the part a resume continues from
  ASSERT_NE(New("http://127.0.0.1:9/game", base), 0u);
  EXPECT_FALSE(PathExists(base + "(2).td"));  // no extension
}

TEST_F(ScriptedEngineTest, CheckTaskExChecksTheFileThePathLeadsTo) {
  kit_answer_(0, u"http://127.0.0.1:9/real/game.apk", u"game.apk");
  const std::string link = SchemeLink("game.apk", kGoodHash);
  WriteText(downloads_ + "/game.apk", "bad file!");
  EXPECT_EQ(P2SPCheckTaskEx(link.c_str(), 2, downloads_.c_str()), 0);  // a folder: its file is hashed
  EXPECT_EQ(Reports(), 1);
  EXPECT_EQ(RecordedPath(link), "");
  WriteText(downloads_ + "/game.apk", "good file");
  EXPECT_EQ(P2SPCheckTaskEx(link.c_str(), 2, downloads_.c_str()), 1);
  EXPECT_EQ(RecordedPath(link), downloads_ + "/game.apk");

  const std::string url = "http://127.0.0.1:9/plain";
  WriteText(downloads_ + "/plain", "12345");
  known_size_(6);
  EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, (downloads_ + "/plain").c_str()), 0);
  known_size_(5);
  EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, (downloads_ + "/plain").c_str()), 1);
  EXPECT_EQ(P2SPCheckTaskEx(url.c_str(), 2, (downloads_ + "/missing").c_str()), 0);
  EXPECT_EQ(P2SPCheckTaskEx("x", 1, "y"), 1);
}

TEST_F(ScriptedEngineTest, ProxyRecordReachesTheEngineAndReadsBack) {
  EXPECT_TRUE(P2SPSetProxy("proxy.local", 8080, "user", "secret", "dom", 0, 3));
  // The engine's start sent the direct record and the user agent first.
  EXPECT_EQ(Calls().substr(0, 29), "Init;SetProxy;SetUserAgent;Se");
  auto record = std::make_unique<XlProxyRecord>();
  last_proxy_(record.get());
  EXPECT_EQ(record->direct, 1u);
  EXPECT_EQ(record->flag, 3u);
  EXPECT_EQ(record->type, 0u);
  EXPECT_EQ(record->always_one, 1u);
  EXPECT_EQ(record->port, 8080u);
  EXPECT_EQ(WStringToAnsi(record->host), "proxy.local");
  EXPECT_EQ(WStringToAnsi(record->domain), "dom");

  EXPECT_TRUE(P2SPSetProxy("p2", 1080, "u", "pw", "", 3, 0));
  char16_t host[16], user[3], password[2];
  uint16_t port = 0;
  uint8_t type = 0;
  EXPECT_EQ(P2SPGetProxy(host, 16, &port, user, 3, password, 2, &type, 0), 3);
  EXPECT_EQ(std::u16string(host), u"p2");
  EXPECT_EQ(std::u16string(user), u"u");
  EXPECT_EQ(std::u16string(password), u"");  // does not fit: empty
  EXPECT_EQ(port, 1080);
  EXPECT_EQ(type, 3);
  EXPECT_FALSE(P2SPSetProxy(std::string(2048, 'h').c_str(), 1, "", "", "", 1, 0));
}

TEST_F(ScriptedEngineTest, CountedStartAndClose) {
  init_result_(0);  // not started: every use tries XL_Init again
  ASSERT_NE(New("http://127.0.0.1:9/a", downloads_ + "/a"), 0u);
  ASSERT_NE(New("http://127.0.0.1:9/b", downloads_ + "/b"), 0u);
  EXPECT_EQ(Calls().substr(0, 27), "Init;SetProxy;SetUserAgent;");
  EXPECT_NE(Calls().find(";Init;SetProxy;SetUserAgent;"), std::string::npos);
  init_result_(1);
  ASSERT_NE(New("http://127.0.0.1:9/c", downloads_ + "/c"), 0u);
  EXPECT_EQ(P2SPStopTask("http://127.0.0.1:9/c"), 7);  // the engine's answer
  EXPECT_EQ(P2SPDelTask("http://127.0.0.1:9/b"), 1);
  EXPECT_EQ(P2SPDelTask("http://127.0.0.1:9/b"), 0);

  ASSERT_EQ(P2SPInit(work_.c_str()), 1);
  P2SPClose();
  EXPECT_EQ(Calls().find("UnInit"), std::string::npos);
  EXPECT_EQ(P2SPIsExistTask("http://127.0.0.1:9/c"), 1);
  P2SPClose();
  EXPECT_NE(Calls().find("UnInit"), std::string::npos);
  int init = 0, close = 0, search = 0, reports = 0;
  kit_counts_(&init, &close, &search, &reports);
  EXPECT_EQ(init, 1);
  EXPECT_EQ(close, 1);
  EXPECT_EQ(P2SPIsExistTask("http://127.0.0.1:9/c"), 0);
  ASSERT_EQ(P2SPInit(work_.c_str()), 1);  // for the fixture's close

  const std::string log = ReadText(program_ + "/log/xldown.log");
  for (const char* line : {"Qen_Add_FireWall end", "DownLoadInfo.db end", "InitDSInterface end",
                           "no per-program firewall rule on this platform", "Create down task(http://127.0.0.1:9/a) succ",
                           "stop and delete down task(", "delete down task("}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

class MissingEngineTest : public SwarmloadFixture {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Prepare("")); }
};

TEST_F(MissingEngineTest, TasksFailInAnOrderlyWay) {
  EXPECT_FALSE(P2SPNewTask("http://127.0.0.1:9/a", (downloads_ + "/a").c_str(), 0));
  EXPECT_FALSE(P2SPNewTask("http://127.0.0.1:9/a", (downloads_ + "/a").c_str(), 0));
  EXPECT_EQ(P2SPGetTaskStatus("http://127.0.0.1:9/a"), 6);
  EXPECT_FALSE(P2SPSetProxy("h", 1, "", "", "", 1, 0));
  EXPECT_NE(ReadText(program_ + "/log/xldown.log").find("can not load xldl.dll"), std::string::npos);
}

}  // namespace
