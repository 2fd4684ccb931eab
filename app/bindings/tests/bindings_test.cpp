// Each binding with its stand-in beside the program, without it, and with a
// stand-in that lacks one export.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>
#include <zip.h>

#include <cstring>
#include <thread>

#include "app/bindings/crash_report.h"
#include "app/bindings/hostmark_interface.h"
#include "app/bindings/lettermill_interface.h"
#include "app/bindings/stat_library.h"
#include "app/bindings/tests/test_folder.h"
#include "app/bindings/zip_interface.h"
#include "app/config/config_mgr.h"
#include "foundation/base/code_page.h"

namespace {

using bindings_test::ProgramFolder;

enum class Beside { kStandIn, kNothing, kWithoutOneExport };

const char* Name(Beside beside) {
  switch (beside) {
    case Beside::kStandIn: return "stand-in";
    case Beside::kNothing: return "nothing";
    default: return "stand-in without one export";
  }
}

// Puts the stand-in `name`, or its variant from `variant_folder`, or nothing
// into the program folder.
void Prepare(ProgramFolder& folder, Beside beside, const std::string& name, const std::string& variant_folder) {
  if (beside == Beside::kStandIn) {
    ASSERT_TRUE(folder.AddLibrary(PD_BIN_DIR, name));
  }
  if (beside == Beside::kWithoutOneExport) {
    ASSERT_TRUE(folder.AddLibrary(std::string(PD_VARIANTS_DIR) + "/" + variant_folder, name));
  }
}

TEST(HostmarkBinding, IdentifierOnlyWithTheWholeLibrary) {
  for (Beside beside : {Beside::kStandIn, Beside::kNothing, Beside::kWithoutOneExport}) {
    SCOPED_TRACE(Name(beside));
    ProgramFolder folder;
    ASSERT_NO_FATAL_FAILURE(Prepare(folder, beside, "Hostmark", "hostmark_without_export"));
    CHostmarkInterface hostmark;
    const bool whole = beside == Beside::kStandIn;
    EXPECT_EQ(hostmark.Load(), whole);
    unsigned char id[16] = {};
    EXPECT_EQ(hostmark.GetIdentify(id), whole ? 1 : 0);
    const unsigned char zero[16] = {};
    EXPECT_EQ(std::memcmp(id, zero, 16) != 0, whole) << "the identifier stays zero without the library";
  }
}

TEST(HostmarkBinding, InstanceIsMadeOnceAcrossThreads) {
  std::vector<CHostmarkInterface*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = CHostmarkInterface::Instance(); });
  }
  for (std::thread& t : threads) t.join();
  for (CHostmarkInterface* p : seen) EXPECT_EQ(p, seen[0]);
}

// An APK-like archive with one icon.
std::string MakeArchive(const std::string& folder) {
  const std::string path = folder + "/app.apk";
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  static const char kIcon[] = "\x89PNG icon bytes";
  zip_file_add(zip, "res/drawable/icon.png", zip_source_buffer(zip, kIcon, sizeof kIcon - 1, 0), 0);
  zip_close(zip);
  return path;
}

TEST(ZipBinding, UnzipOnlyWhenAllThreeExportsAreBound) {
  for (Beside beside : {Beside::kStandIn, Beside::kNothing, Beside::kWithoutOneExport}) {
    SCOPED_TRACE(Name(beside));
    ProgramFolder folder;
    ASSERT_NO_FATAL_FAILURE(Prepare(folder, beside, "Packwell", "packwell_without_export"));
    const std::u16string archive = AnsiToWString(MakeArchive(folder.path()));
    const std::u16string out = AnsiToWString(folder.path() + "/icon.png");
    CZipInterface zip;
    const bool whole = beside == Beside::kStandIn;
    EXPECT_EQ(zip.Load(), whole);
    EXPECT_EQ(zip.IsLoaded(), whole);
    EXPECT_EQ(zip.UnZipFile(archive, u"res/drawable/icon.png", out), whole);
    if (whole) {
      EXPECT_EQ(ProgramFolder::Read(folder.path() + "/icon.png"), "\x89PNG icon bytes");
      EXPECT_FALSE(zip.UnZipFile(archive, u"res/missing.png", out));
    }
  }
}

TEST(ZipBinding, LoadsFromAGivenPath) {
  ProgramFolder folder;
  CZipInterface zip;
  EXPECT_TRUE(zip.Load(AnsiToWString(std::string(PD_BIN_DIR) + "/Packwell.dll").c_str()));
  EXPECT_FALSE(zip.Load(u"/nonexistent/Packwell.dll"));
  EXPECT_FALSE(zip.IsLoaded());
}

// Whether the library file at `path` is loaded in this process.
bool IsOpen(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

TEST(LettermillBinding, TheFirstPostOpensTheLibraryAndPostsWhenTheExtendedExportIsBound) {
  httplib::Server server;
  int posts = 0;
  server.Post("/service/ClientRep.ashx", [&](const httplib::Request&, httplib::Response& res) {
    ++posts;
    res.set_content("ok", "text/plain");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string url =
      "http://127.0.0.1:" + std::to_string(port) + "/service/ClientRep.ashx?act=apkstat&uid=1110&hostmark=";

  for (Beside beside : {Beside::kStandIn, Beside::kNothing, Beside::kWithoutOneExport}) {
    SCOPED_TRACE(Name(beside));
    ProgramFolder folder;
    ASSERT_NO_FATAL_FAILURE(Prepare(folder, beside, "Lettermill", "lettermill_without_export"));
    const int before = posts;
    const std::string library = folder.path() + "/libLettermill.so";
    {
      // Nothing is opened before the first post; the post opens the library
      // and has it init (the stand-in refuses to post before its InitPost).
      CLettermillInterface poster;
      poster.InitPost();
      EXPECT_FALSE(IsOpen(library));
      EXPECT_EQ(poster.Lettermill(url, "{}\n", 1, 1), beside == Beside::kNothing ? 0 : 1);
      EXPECT_EQ(IsOpen(library), beside != Beside::kNothing);
      // Without the plain export the library still loads: it is never called.
      EXPECT_EQ(poster.Load(), beside != Beside::kNothing);
    }  // UinitPost and free
    EXPECT_FALSE(IsOpen(library));
    EXPECT_EQ(posts - before, beside == Beside::kNothing ? 0 : 1);
  }
  server.stop();
  thread.join();
}

TEST(LettermillBinding, InstanceCanBeReleasedAndMadeAgain) {
  ProgramFolder folder;
  CLettermillInterface* first = CLettermillInterface::Instance();
  EXPECT_EQ(first, CLettermillInterface::Instance());
  CLettermillInterface::Release();
  CLettermillInterface* second = CLettermillInterface::Instance();
  EXPECT_NE(second, nullptr);
  CLettermillInterface::Release();
}

TEST(StatBinding, ReportsOnlyWithTheirExports) {
  for (Beside beside : {Beside::kStandIn, Beside::kNothing, Beside::kWithoutOneExport}) {
    SCOPED_TRACE(Name(beside));
    ProgramFolder folder;
    unsetenv("PHONEDECK_STAT_URL");
    ASSERT_NO_FATAL_FAILURE(Prepare(folder, beside, "Tallyhand", "tallyhand_without_export"));
    EXPECT_EQ(OpenStatLibrary(), beside != Beside::kNothing);
    StatSetAppID(8);
    StatSetUnionID(1110);
    EXPECT_EQ(StatSetVersion(35, 0x00020001), beside == Beside::kNothing ? 0 : 1);
    StatOnline();
    EXPECT_EQ(StatAction(301, "abc", 3, false), beside == Beside::kStandIn ? 1 : 0);
    StatOffline();
    CloseStatLibrary();
    EXPECT_EQ(StatAction(301, "abc", 3, false), 0) << "unbound after closing";

    const std::string reports = ProgramFolder::Read(folder.path() + "/log/tallyhand.log");
    const bool online = reports.find("\"event\":\"online\",\"time\"") != std::string::npos;
    EXPECT_EQ(online, beside != Beside::kNothing) << reports;
    EXPECT_EQ(reports.find("\"action\":301") != std::string::npos, beside == Beside::kStandIn);
    EXPECT_EQ(reports.find("\"version\":\"2.1.0.35\"") != std::string::npos, beside != Beside::kNothing);
  }
}

// Runs `body` in a child process (the reporter installs signal handlers) and
// returns its exit code, or 128 + the signal that ended it.
template <typename Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

size_t CountCrashReports(const std::string& folder) {
  size_t count = 0;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) count += std::strncmp(entry->d_name, "crash_", 6) == 0;
    closedir(dir);
  }
  return count;
}

TEST(CrashReportBinding, StartsOnlyWithTheReporter) {
  {
    ProgramFolder folder;
    EXPECT_FALSE(InitCrashReport(nullptr, 10, 0, false, 0)) << "no reporter beside the program";
  }
  {
    ProgramFolder folder;
    ASSERT_TRUE(folder.AddLibrary(PD_BIN_DIR, "QenCrashCatch"));
    const int ended = InChild([] {
      if (!InitCrashReport(nullptr, 10, 0, false, 0)) return 1;
      raise(SIGSEGV);
      return 2;
    });
    EXPECT_EQ(ended, 128 + SIGSEGV);
    EXPECT_EQ(CountCrashReports(folder.path() + "/log"), 1u);
  }
}

TEST(CrashReportBinding, AFailedStartForgetsTheFreedLibrary) {
  ProgramFolder folder;
  ASSERT_TRUE(folder.AddLibrary(std::string(PD_VARIANTS_DIR) + "/qencrashcatch_without_export", "QenCrashCatch"));
  const std::string path = folder.path();
  const int code = InChild([&path] {
    if (InitCrashReport(nullptr, 10, 0, false, 0)) return 1;  // CCInit is missing
    // The reporter is replaced; the next start must load it afresh rather
    // than use the handle freed above.
    if (!ProgramFolder::Copy(PD_BIN_DIR "/libQenCrashCatch.so", path + "/libQenCrashCatch.so")) return 2;
    return InitCrashReport(nullptr, 10, 0, false, 0) ? 0 : 3;
  });
  EXPECT_EQ(code, 0);
}

}  // namespace
