// The download library's exports over a table of downloads by id.
#include <curl/curl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "download.h"
#include "webpuller.h"

namespace webpuller {

namespace {

constexpr size_t kFileNameCapacity = 260;

std::string ToUtf8(const char16_t* text) {
  std::string out;
  for (size_t i = 0; text && text[i]; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t c;
    size_t n;
    if (b < 0x80) c = b, n = 1;
    else if ((b & 0xE0) == 0xC0) c = b & 0x1F, n = 2;
    else if ((b & 0xF0) == 0xE0) c = b & 0x0F, n = 3;
    else c = b & 0x07, n = 4;
    if (i + n > text.size()) break;
    for (size_t k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string KeyHex(const uint8_t* key) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (int i = 0; i < 16; ++i) {
    hex.push_back(kDigits[key[i] >> 4]);
    hex.push_back(kDigits[key[i] & 0xF]);
  }
  return hex;
}

// The download table. Threading: mu_ guards the folder, the ids and the
// map; a download's own state is read through its own lock.
class Registry {
 public:
  Registry() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~Registry() { DestroyAll(); }  // at unload: every worker stops and is joined

  void SetFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    ::mkdir(folder.c_str(), 0755);
    std::lock_guard<std::mutex> lock(mu_);
    folder_ = std::move(folder);
  }

  int Start(const uint8_t* key) {
    const char* base_env = std::getenv("WEBPULLER_BASE_URL");
    if (!key || !base_env || !*base_env) return 0;
    std::string base = base_env;
    while (!base.empty() && base.back() == '/') base.pop_back();
    const std::string hex = KeyHex(key);
    std::lock_guard<std::mutex> lock(mu_);
    if (folder_.empty()) return 0;
    ReapFinishedWorkers();
    const int id = next_id_++;
    auto download = std::make_shared<Download>(base + "/" + hex, folder_ + "/" + hex);
    download->Start();
    downloads_[id] = std::move(download);
    return id;
  }

  std::shared_ptr<Download> Find(int id) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = downloads_.find(id);
    return it == downloads_.end() ? nullptr : it->second;
  }

  void DestroyAll() {
    std::map<int, std::shared_ptr<Download>> gone;
    {
      std::lock_guard<std::mutex> lock(mu_);
      gone.swap(downloads_);
    }
    for (auto& entry : gone) entry.second->Stop();
    gone.clear();  // each destructor joins its worker
  }

 private:
  // Workers that have ended are joined; their downloads keep their state.
  void ReapFinishedWorkers() {
    for (auto& entry : downloads_) {
      if (entry.second->WorkerDone()) entry.second->Join();
    }
  }

  std::mutex mu_;
  std::string folder_;
  int next_id_ = 1;
  std::map<int, std::shared_ptr<Download>> downloads_;
};

Registry& Downloads() {
  static Registry registry;
  return registry;
}

}  // namespace

}  // namespace webpuller

using webpuller::Downloads;

WEBPULLER_API void DLSetDownloadPath(const char16_t* folder) {
  if (folder && folder[0]) Downloads().SetFolder(webpuller::ToUtf8(folder));
}

WEBPULLER_API int DLStartDownload(const uint8_t* key16) { return Downloads().Start(key16); }

WEBPULLER_API void DLStopDownload(int id) {
  if (auto d = Downloads().Find(id)) d->Stop();
}

WEBPULLER_API int DLGetDownloadStatus(int id) {
  auto d = Downloads().Find(id);
  return d ? d->Get().status : WEBPULLER_FAILED;
}

WEBPULLER_API uint64_t DLGetTotalSize(int id) {
  auto d = Downloads().Find(id);
  return d ? d->Get().total : 0;
}

WEBPULLER_API uint64_t DLGetDownloadSize(int id) {
  auto d = Downloads().Find(id);
  return d ? d->Get().downloaded : 0;
}

WEBPULLER_API int DLGetDownloadSpeed(int id) {
  auto d = Downloads().Find(id);
  return d ? d->Get().speed : 0;
}

WEBPULLER_API int DLGetDownloadFileName(int id, char16_t* path260) {
  if (!path260) return 0;
  path260[0] = 0;
  auto d = Downloads().Find(id);
  if (!d) return 0;
  const std::u16string path = webpuller::FromUtf8(d->final_path());
  if (path.size() + 1 > webpuller::kFileNameCapacity) return 0;
  std::memcpy(path260, path.c_str(), (path.size() + 1) * sizeof(char16_t));
  return static_cast<int>(path.size());
}

WEBPULLER_API void DLDestroyAll(void) { Downloads().DestroyAll(); }
