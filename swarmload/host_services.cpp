#include "host_services.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "foundation/base/code_page.h"
#include "foundation/base/swarm_log.h"
#include "module_state.h"
#include "outside/hostmark/hostmark.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "platform/registry.h"

namespace swarmload {

namespace {

constexpr char kUnionKey[] = "SOFTWARE\\QENSoft\\Hollowmere2013";
constexpr char kSessionAgent[] = "WininetDownAgent";
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kLowSpeedSeconds = 60;

bool ReadUnionIdFrom(platform::RegRoot root, uint32_t* union_id) {
  const auto value = platform::RegQueryValue(root, kUnionKey, "UnionID");
  if (!value || value->data.size() != 4) return false;
  *union_id = static_cast<uint32_t>(value->data[0]) | static_cast<uint32_t>(value->data[1]) << 8 |
              static_cast<uint32_t>(value->data[2]) << 16 | static_cast<uint32_t>(value->data[3]) << 24;
  return true;
}

size_t WriteBody(char* data, size_t size, size_t count, void* fd) {
  const size_t bytes = size * count;
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::write(*static_cast<int*>(fd), data + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;  // ends the transfer with an error
    done += static_cast<size_t>(n);
  }
  return bytes;
}

}  // namespace

bool Qen_Add_FireWall() {
  const std::u16string program = AnsiToWString(platform::ExecutablePath());
  ReplaceFirewallRule(program);
  ReplaceFirewallRule(AnsiToWString(platform::ProgramDirectory()) + u"QENService");
  return true;
}

bool ReplaceFirewallRule(const std::u16string& program_path) {
  PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogInfo, "no per-program firewall rule on this platform: %s",
            WStringToAnsi(program_path).c_str());
  return false;
}

bool ReadUnionId(uint32_t* union_id) {
  return ReadUnionIdFrom(platform::RegRoot::kLocalMachine, union_id) ||
         ReadUnionIdFrom(platform::RegRoot::kCurrentUser, union_id);
}

bool GetMachineIdentity(uint8_t identity[16]) {
  void* module = platform::LoadLibraryFrom(platform::ProgramDirectory(), "Hostmark.dll");
  if (module == nullptr) return false;
  bool found = false;
  if (auto get = reinterpret_cast<PfnHOSTMARKGetIdentify>(platform::FindSymbol(module, "HOSTMARKGetIdentify"))) {
    get(identity);
    found = true;
  }
  platform::FreeLibrary(module);
  return found;
}

int ReportDownloadState(const std::u16string& text, const uint8_t identity[16], uint32_t union_id) {
  const PfnDSDownloadStatReport report = Kitoracle().report;
  if (report == nullptr) return 0;
  return report(union_id, identity, 10, text.c_str());
}

void ReportIdentity::SendHashReport(const std::u16string& expected, const std::u16string& computed) {
  uint32_t id = 0;
  uint8_t machine[16];
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (union_id == 0) ReadUnionId(&union_id);
    if (identity[0] == 0) GetMachineIdentity(identity);
    id = union_id;
    std::memcpy(machine, identity, sizeof machine);
  }
  ReportDownloadState(u"{\"Hash1\":\"" + expected + u"\",\"Hash2\":\"" + computed + u"\"}", machine, id);
}

bool WininetDownload(const std::u16string& url, const std::u16string& file) {
  if (!DirectSessionOpen()) return false;
  const std::string target = WStringToAnsi(file);
  const std::string link = WStringToAnsi(url);
  if (target.empty() || link.empty()) return false;
  std::string temp = target + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  temp.assign(name.data());
  ::fchmod(fd, 0644);

  bool ok = false;
  if (CURL* curl = curl_easy_init()) {
    curl_easy_setopt(curl, CURLOPT_URL, link.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kSessionAgent);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);  // a fresh copy every time
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fd);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    ok = code == CURLE_OK && status >= 200 && status < 300;
    if (!ok) {
      PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "download %s failed: %s, status %ld", link.c_str(),
                curl_easy_strerror(code), status);
    }
    curl_easy_cleanup(curl);
  }
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace swarmload
