#include "scheme_url.h"

#include <cstring>
#include <map>

#include "foundation/base/code_page.h"
#include "foundation/base/swarm_log.h"
#include "md5.h"
#include "module_state.h"

namespace swarmload {

namespace {

constexpr size_t kServiceBufferUnits = 512;

// Guarded by the task lock (module_state.h), taken only for one lookup or
// one insertion.
std::map<std::string, Resolution> g_cache;

bool FindResolvedUrl(const std::string& link, Resolution* out) {
  base_MutexGuard guard(&TaskLock());
  const auto it = g_cache.find(link);
  if (it == g_cache.end()) return false;
  *out = it->second;
  return true;
}

}  // namespace

LinkForm ParseSchemeLink(const std::u16string& link, SchemeLink* parts) {
  if (link.find(u"QEN://") == std::u16string::npos) return LinkForm::kNotScheme;
  const size_t amp = link.find(u'&');
  const size_t eq = link.find(u'=');
  if (amp == std::u16string::npos || eq == std::u16string::npos || eq < amp || eq - amp != 33) {
    return LinkForm::kMalformed;
  }
  const std::string hash_text = WStringToAnsi(link.substr(amp + 1, 32));
  std::memset(parts->digest, 0, sizeof parts->digest);
  Md5ParseHex(hash_text, parts->digest);
  parts->expected_hash = Md5ToHex(parts->digest);
  const size_t slash = link.find(u'/');
  const size_t start = slash == std::u16string::npos ? std::u16string::npos : slash + 2;
  parts->name = start < amp ? link.substr(start, amp - start) : std::u16string();
  if (parts->name.empty()) parts->name = link;
  return LinkForm::kScheme;
}

std::u16string SafeFileName(const std::u16string& text) {
  const size_t slash = text.find_last_of(u"/\\");
  const std::u16string base = slash == std::u16string::npos ? text : text.substr(slash + 1);
  std::u16string name;
  for (const char16_t c : base) {
    if (c < 0x20 || c == 0x7F) continue;
    name += c;
  }
  if (name.empty() || name == u"." || name == u"..") return std::u16string();
  return name;
}

bool ResolveSchemeUrl(const std::string& link, Resolution* out) {
  if (FindResolvedUrl(link, out)) return true;
  SchemeLink parts;
  switch (ParseSchemeLink(AnsiToWString(link), &parts)) {
    case LinkForm::kNotScheme:
      return false;
    case LinkForm::kMalformed:
      PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "error url(%s) failed", link.c_str());
      return false;
    case LinkForm::kScheme:
      break;
  }
  char16_t url[kServiceBufferUnits] = {0};
  char16_t name[kServiceBufferUnits] = {0};
  if (const PfnDSSearchServerRes search = Kitoracle().search) {
    const int result = search(parts.digest, url, static_cast<int32_t>(kServiceBufferUnits), name);
    if (result != 0) {
      PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "DSSearchServerRes url(%s) failed(%d)", link.c_str(),
                result);
      return false;
    }
    url[kServiceBufferUnits - 1] = 0;  // whatever the service wrote, the texts end inside their buffers
    name[kServiceBufferUnits - 1] = 0;
  }
  Resolution resolution;
  resolution.real_url = url;
  resolution.expected_hash = parts.expected_hash;
  // The name is joined to the download folder: only a plain file name will do.
  resolution.file_name = SafeFileName(name);
  if (resolution.file_name.empty()) resolution.file_name = SafeFileName(parts.name);
  if (resolution.file_name.empty()) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "error url(%s) has no usable file name", link.c_str());
    return false;
  }
  {
    base_MutexGuard guard(&TaskLock());
    g_cache.emplace(link, resolution);  // an entry already present stays
  }
  *out = resolution;
  return true;
}

void ClearResolutionCache() {
  base_MutexGuard guard(&TaskLock());
  g_cache.clear();
}

}  // namespace swarmload
