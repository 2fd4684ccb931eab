#include "transport/http_send.h"

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/base_proc.h"
#include "base/kit_log.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "transport/endpoints.h"
#include "wire/text.h"

namespace kitoracle {
namespace {

constexpr size_t kSendPiece = 1024;
constexpr char kLoopbackHosts[] = "127.0.0.1,localhost,::1";

// Cached for the life of the process; filled and read under the search lock.
uint32_t g_unionId = 0;
std::string g_hostmark;
uint64_t g_clientVersion = 0;

size_t ReadCallback(char* buffer, size_t size, size_t count, void* state) {
  if (size * count == 0) {
    KIT_LOG("error 1 > size[%u] * nmemb[%u] ", unsigned(size), unsigned(count));
    return 0;
  }
  size_t n = static_cast<SendState*>(state)->Take(reinterpret_cast<uint8_t*>(buffer), size * count);
  if (n > 0) KIT_LOG("readdata len[%u]", unsigned(n));
  return n;
}

size_t WriteCallback(char* data, size_t size, size_t count, void* state) {
  size_t n = size * count;
  if (n < 1) {
    KIT_LOG("error size[%u] * nmemb[%u] < 1", unsigned(size), unsigned(count));
    return 0;
  }
  auto* receive = static_cast<ReceiveState*>(state);
  size_t taken = receive->Accept(reinterpret_cast<const uint8_t*>(data), n);
  if (taken == 0) {
    KIT_LOG("error write_data->sizeleft[%u] + size[%u] * nmemb[%u] > write_data->sizetotal[%u]",
            unsigned(receive->received), unsigned(size), unsigned(count), unsigned(receive->capacity));
    return 0;
  }
  KIT_LOG("writedata len[%u] total[%u]", unsigned(n), unsigned(receive->received));
  return taken;
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* text) {
  static_cast<std::string*>(text)->append(data, size * count);
  return size * count;
}

bool EqualNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The values of every header line named `name` (any case), in order.
std::vector<std::string> HeaderValues(const std::string& headers, const char* name) {
  std::vector<std::string> values;
  size_t n = std::strlen(name);
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    std::string line = headers.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > n && EqualNoCase(line.data(), name, n) && line[n] == ':') {
      size_t v = n + 1;
      while (v < line.size() && (line[v] == ' ' || line[v] == '\t')) ++v;
      values.push_back(line.substr(v));
    }
    start = end + 1;
  }
  return values;
}

std::string Trim(const std::string& text) {
  size_t a = text.find_first_not_of(" \t");
  if (a == std::string::npos) return std::string();
  size_t b = text.find_last_not_of(" \t");
  return text.substr(a, b - a + 1);
}

// The last path part of a name or URL path: no query, fragment or folder.
std::string BaseNameOf(std::string text) {
  size_t cut = text.find_first_of("?#");
  if (cut != std::string::npos) text.resize(cut);
  size_t slash = text.find_last_of("/\\");
  if (slash != std::string::npos) text = text.substr(slash + 1);
  // ".", ".." and hidden names are no file name for a download.
  if (!text.empty() && text.front() == '.') return std::string();
  return text;
}

std::string DispositionName(const std::string& value) {
  // Parameters are separated by ';'; the one named filename (any case).
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string part = Trim(value.substr(start, end - start));
    if (part.size() > 9 && EqualNoCase(part.data(), "filename=", 9)) {
      std::string name = Trim(part.substr(9));
      if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
      return BaseNameOf(name);
    }
    start = end + 1;
  }
  return std::string();
}

}  // namespace

void MakePackageHeader(uint32_t random, uint8_t* out) {
  std::memset(out, 0, kPackageHeaderSize);
  out[0] = 0;
  for (int i = 0; i < 4; ++i) out[1 + i] = uint8_t(random >> (8 * i));
  out[5] = 1;
}

size_t SendState::Take(uint8_t* out, size_t room) {
  size_t left = body.size() - offset;
  size_t n = left < kSendPiece ? left : kSendPiece;
  if (n > room) n = room;
  if (n > 0) std::memcpy(out, body.data() + offset, n);
  offset += n;
  return n;
}

size_t ReceiveState::Accept(const uint8_t* data, size_t n) {
  if (received + n > capacity) return 0;
  size_t skip = 0;
  if (received < kPackageHeaderSize) {
    skip = kPackageHeaderSize - received;
    if (skip > n) skip = n;
  }
  if (n > skip) std::memcpy(buffer + Stored(), data + skip, n - skip);
  received += n;
  return n;
}

std::vector<std::string> BuildHtmlHeaderLines(uint8_t service, size_t bodyLength, uint32_t unionId,
                                              const std::string& hostmark, uint64_t clientVersion) {
  char line[260];
  std::vector<std::string> lines;
  std::snprintf(line, sizeof line, "Content-Length:%u", unsigned(bodyLength));
  lines.push_back(line);
  std::snprintf(line, sizeof line, "ServerID:%u", unsigned(service));
  lines.push_back(line);
  std::snprintf(line, sizeof line, "UnionID:%u", unsigned(unionId));
  lines.push_back(line);
  std::snprintf(line, sizeof line, "HOSTMARK:%s", hostmark.c_str());
  lines.push_back(line);
  std::snprintf(line, sizeof line, "ClientVersion:%llu", static_cast<unsigned long long>(clientVersion));
  lines.push_back(line);
  return lines;
}

bool CurlGlobalReady() {
  static std::once_flag once;
  static CURLcode code = CURLE_FAILED_INIT;
  std::call_once(once, [] { code = curl_global_init(CURL_GLOBAL_ALL); });
  if (code != CURLE_OK) KIT_LOG("error curl_global_init[%s]", curl_easy_strerror(code));
  return code == CURLE_OK;
}

bool CHttpSend::GetHOSTMARK(uint8_t* identity) {
  std::string folder = BaseGetModuleFileName(nullptr);
  std::string error;
  void* library = platform::LoadLibraryFrom(folder.empty() ? "." : folder, "Hostmark.dll", &error);
  if (library == nullptr) {
    KIT_LOG("error LoadLibrary[%s]", error.c_str());
    return false;
  }
  using Pfn = int (*)(unsigned char*);
  auto get = reinterpret_cast<Pfn>(platform::FindSymbol(library, "HOSTMARKGetIdentify"));
  bool ok = get != nullptr;
  if (ok) {
    get(identity);
  } else {
    KIT_LOG("error GetProcAddress");
  }
  platform::FreeLibrary(library);
  return ok;
}

int CHttpSend::HttpSendTo(uint8_t service, const uint8_t* request, size_t length, uint8_t* reply, int timeoutSeconds) {
  if (!CurlGlobalReady()) return -1;
  if (g_unionId == 0) QenRegGetValue(&g_unionId);
  if (g_hostmark.empty()) {
    uint8_t identity[16] = {};
    GetHOSTMARK(identity);
    g_hostmark = Hex16(identity);
  }
  if (g_clientVersion == 0) BaseGetFileVersion(platform::ExecutablePath(), &g_clientVersion);

  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    KIT_LOG("error curl_easy_init");
    return -1;
  }
  SendState send;
  send.body.resize(kPackageHeaderSize);
  MakePackageHeader(uint32_t(std::rand() & 0x7FFF), send.body.data());
  send.body.insert(send.body.end(), request, request + length);
  ReceiveState receive;
  receive.buffer = reply;
  size_t bodyLength = send.body.size();
  curl_slist* headers = nullptr;
  for (const std::string& line : BuildHtmlHeaderLines(service, bodyLength, g_unionId, g_hostmark, g_clientVersion)) {
    curl_slist* more = curl_slist_append(headers, line.c_str());
    if (more == nullptr) {
      curl_slist_free_all(headers);
      headers = nullptr;
      break;
    }
    headers = more;
  }
  int result = -1;
  CURLcode code = CURLE_OK;
  std::string url = SearchUrl();
#define KIT_SETOPT(option, value)                                                \
  if ((code = curl_easy_setopt(curl, option, value)) != CURLE_OK) {              \
    KIT_LOG("error curl_easy_setopt " #option "[%s]", curl_easy_strerror(code)); \
    goto done;                                                                   \
  }
  KIT_SETOPT(CURLOPT_URL, url.c_str());
  KIT_SETOPT(CURLOPT_TIMEOUT, long(timeoutSeconds));
  if (headers == nullptr) {
    KIT_LOG("error BuildHtmlHeader");
    goto done;
  }
  KIT_SETOPT(CURLOPT_HTTPHEADER, headers);
  KIT_SETOPT(CURLOPT_POST, 1L);
  KIT_SETOPT(CURLOPT_READFUNCTION, &ReadCallback);
  KIT_SETOPT(CURLOPT_READDATA, &send);
  KIT_SETOPT(CURLOPT_WRITEFUNCTION, &WriteCallback);
  KIT_SETOPT(CURLOPT_WRITEDATA, &receive);
  KIT_SETOPT(CURLOPT_POSTFIELDSIZE, long(bodyLength));
  KIT_SETOPT(CURLOPT_NOSIGNAL, 1L);
  KIT_SETOPT(CURLOPT_NOPROXY, kLoopbackHosts);
  code = curl_easy_perform(curl);
  if (code != CURLE_OK) {
    KIT_LOG("error curl_easy_perform[%s]", curl_easy_strerror(code));
    result = -2;
  } else {
    KIT_LOG("sendlen[%u-%u] recvlen[%u-%u]", unsigned(bodyLength), unsigned(kPackageHeaderSize),
            unsigned(receive.received), unsigned(kPackageHeaderSize));
    result = receive.received > kPackageHeaderSize ? int(receive.Stored()) : -2;
  }
#undef KIT_SETOPT
done:
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

bool HttpPickHeader::Pick() {
  KIT_LOG("TRACE Pick header url %s\n", url_.c_str());
  if (!CurlGlobalReady()) return false;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return false;
  std::string collected;
  curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 5L);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  // Web protocols only: a redirect must not reach local files.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // The header callback alone collects the headers: with CURLOPT_HEADER they
  // would also go to the default body writer, i.e. the program's stdout.
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HeaderCallback);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &collected);
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, kLoopbackHosts);
  bool ok = curl_easy_perform(curl) == CURLE_OK;
  if (ok) {
    headers_ = collected;
    KIT_LOG("TRACE PickHEAD Success \n");
  }
  curl_easy_cleanup(curl);
  return ok;
}

bool HttpPickHeader::GetResFileName(std::string* name) const {
  *name = ResourceFileName(headers_, url_);
  return !name->empty();
}

std::string ResourceFileName(const std::string& headers, const std::string& url) {
  std::vector<std::string> dispositions = HeaderValues(headers, "Content-Disposition");
  std::string name;
  if (!dispositions.empty()) name = DispositionName(dispositions.front());
  if (name.empty()) {
    std::vector<std::string> locations = HeaderValues(headers, "Location");
    if (!locations.empty()) name = BaseNameOf(Trim(locations.back()));
  }
  if (name.empty()) name = BaseNameOf(url);
  return name;
}

}  // namespace kitoracle
