// The exports of libTallyhand.so.
#include "tallyhand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

#include "outside/lettermill/lettermill.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "report.h"

namespace {

// All state of the library. Threading: every export may be called from any
// thread; `lock` guards all fields and is held while a report is delivered,
// so reports leave in the order they were made.
struct State {
  std::mutex lock;
  int init_count = 0;
  tallyhand::Identity identity;
  std::string endpoint;   // empty: reports go to the local file only
  std::string local_file;
  void* lettermill = nullptr;
  PfnUinitPost uinit_post = nullptr;
  PfnLettermill post = nullptr;
};

State& GetState() {
  static State state;  // lives until the library is unloaded
  return state;
}

std::string Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string OwnFolder() {
  std::string path = platform::ModulePathOf(reinterpret_cast<const void*>(&STInit));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool AppendLine(const std::string& file, const std::string& line) {
  size_t slash = file.rfind('/');
  if (slash != std::string::npos) mkdir(file.substr(0, slash).c_str(), 0755);
  int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = line + "\n";
  // One write with O_APPEND keeps lines of several processes whole.
  ssize_t n;
  do {
    n = write(fd, text.data(), text.size());
  } while (n < 0 && errno == EINTR);
  bool ok = n == static_cast<ssize_t>(text.size());
  return close(fd) == 0 && ok;
}

// Called with the lock held.
bool Deliver(State& state, const std::string& report) {
  if (state.post != nullptr && !state.endpoint.empty() &&
      state.post(state.endpoint.c_str(), report.c_str(), 1, 1) == 1) {
    return true;
  }
  return AppendLine(state.local_file, report);
}

bool Report(const std::string& event, int action = 0, const std::string& text = std::string(), int flag = 0) {
  State& state = GetState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.init_count == 0) return false;
  return Deliver(state, tallyhand::BuildReport(state.identity, event, Now(), action, text, flag));
}

void LoadPoster(State& state) {
  state.lettermill = platform::LoadLibraryFrom(OwnFolder(), "Lettermill.dll");
  if (state.lettermill == nullptr) return;
  auto init = reinterpret_cast<PfnInitPost>(platform::FindSymbol(state.lettermill, "InitPost"));
  state.uinit_post = reinterpret_cast<PfnUinitPost>(platform::FindSymbol(state.lettermill, "UinitPost"));
  state.post = reinterpret_cast<PfnLettermill>(platform::FindSymbol(state.lettermill, "LettermillEx"));
  if (init == nullptr || state.uinit_post == nullptr || state.post == nullptr || init() != 1) {
    platform::FreeLibrary(state.lettermill);
    state.lettermill = nullptr;
    state.uinit_post = nullptr;
    state.post = nullptr;
  }
}

}  // namespace

bool STInit(void) {
  State& state = GetState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.init_count++ > 0) return true;
  state.local_file = platform::ProgramDirectory() + "log/tallyhand.log";
  const char* endpoint = std::getenv("PHONEDECK_STAT_URL");
  state.endpoint = endpoint != nullptr ? endpoint : "";
  if (!state.endpoint.empty()) LoadPoster(state);
  return true;
}

void STUninit(void) {
  State& state = GetState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.init_count == 0 || --state.init_count > 0) return;
  if (state.lettermill != nullptr) {
    state.uinit_post();
    platform::FreeLibrary(state.lettermill);
  }
  state.lettermill = nullptr;
  state.uinit_post = nullptr;
  state.post = nullptr;
}

void STUnionID(uint16_t union_id) {
  State& state = GetState();
  std::lock_guard<std::mutex> hold(state.lock);
  state.identity.union_id = union_id;
}

void STAppID(uint8_t app_id) {
  State& state = GetState();
  std::lock_guard<std::mutex> hold(state.lock);
  state.identity.app_id = app_id;
}

int STVersion(uint64_t version) {
  State& state = GetState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.init_count == 0) return 0;
  state.identity.version = version;
  return 1;
}

void STOnline(void) { Report("online"); }

void STOffline(void) { Report("offline"); }

#ifndef TALLYHAND_WITHOUT_ACTION
int STAction(int action, const char* text, int length, uint8_t flag) {
  std::string body;
  if (text != nullptr && length > 0) body.assign(text, static_cast<size_t>(length));
  return Report("action", action, body, flag) ? 1 : 0;
}
#endif

int STUDPProxy(const char*, int) { return 0; }
int STUDPTransfer(int) { return 0; }
int STCmdApp(const char*) { return 0; }
int STEntryAddr(const char*, int) { return 0; }
