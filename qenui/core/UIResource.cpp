#include "qenui/core/UIResource.h"

#include <dirent.h>
#include <zip.h>

#include <cstdio>
#include <vector>

// Set by the generated assembly of an embedded skin; weak so that programs
// and tests without one still link.
extern "C" {
extern const unsigned char qenui_skin_zip_start[] __attribute__((weak));
extern const unsigned char qenui_skin_zip_end[] __attribute__((weak));
}

namespace DuiLib {

std::string FoldSkinName(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c == '/' && (out.empty() || out.back() == '/')) continue;
    out += c;
  }
  while (out.size() > 2 && out[0] == '.' && out[1] == '/') out.erase(0, 2);
  return out;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) bytes->append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool ReadFolderFile(const std::string& folder, const std::string& name, std::string* bytes) {
  std::string rel;
  for (char c : name) rel += c == '\\' ? '/' : c;
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  if (ReadWholeFile(base + rel, bytes)) return true;
  // Case-insensitive walk, one path part at a time.
  std::string cur = base.empty() ? "./" : base;
  size_t pos = 0;
  while (pos <= rel.size()) {
    size_t slash = rel.find('/', pos);
    std::string part = rel.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    pos = slash == std::string::npos ? rel.size() + 1 : slash + 1;
    if (part.empty()) continue;
    DIR* d = opendir(cur.c_str());
    if (!d) return false;
    std::string found;
    while (dirent* ent = readdir(d)) {
      if (FoldSkinName(ent->d_name) == FoldSkinName(part)) { found = ent->d_name; break; }
    }
    closedir(d);
    if (found.empty()) return false;
    cur += found;
    if (pos <= rel.size()) cur += '/';
  }
  return ReadWholeFile(cur, bytes);
}

CSkinArchive::~CSkinArchive() {
  if (m_zip) zip_discard(m_zip);
}

std::unique_ptr<CSkinArchive> CSkinArchive::OpenMemory(const void* data, size_t size, std::string* error) {
  std::unique_ptr<CSkinArchive> a(new CSkinArchive);
  zip_error_t ze;
  zip_error_init(&ze);
  zip_source_t* src = zip_source_buffer_create(data, size, 0, &ze);
  if (!src) { *error = zip_error_strerror(&ze); zip_error_fini(&ze); return nullptr; }
  a->m_zip = zip_open_from_source(src, ZIP_RDONLY, &ze);
  if (!a->m_zip) {
    *error = std::string("skin archive: ") + zip_error_strerror(&ze);
    zip_source_free(src);
    zip_error_fini(&ze);
    return nullptr;
  }
  zip_error_fini(&ze);
  if (!a->BuildIndex(error)) return nullptr;
  return a;
}

std::unique_ptr<CSkinArchive> CSkinArchive::OpenFile(const std::string& path, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) { *error = "cannot read " + path; return nullptr; }
  // Keep the bytes inside the archive object so the memory source stays valid.
  auto holder = std::make_unique<std::string>(std::move(bytes));
  std::unique_ptr<CSkinArchive> a(new CSkinArchive);
  a->m_fileBytes = std::move(*holder);
  std::unique_ptr<CSkinArchive> opened = OpenMemory(a->m_fileBytes.data(), a->m_fileBytes.size(), error);
  if (!opened) return nullptr;
  a->m_zip = opened->m_zip;
  a->m_index = std::move(opened->m_index);
  opened->m_zip = nullptr;
  return a;
}

bool CSkinArchive::BuildIndex(std::string* error) {
  zip_int64_t n = zip_get_num_entries(m_zip, 0);
  if (n < 0) { *error = "skin archive: cannot list entries"; return false; }
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    if (name) m_index.emplace(FoldSkinName(name), i);
  }
  return true;
}

bool CSkinArchive::Read(const std::string& name, std::string* bytes, std::string* error) {
  std::lock_guard<std::mutex> lock(m_mu);
  auto it = m_index.find(FoldSkinName(name));
  if (it == m_index.end()) { *error = "not in skin: " + name; return false; }
  zip_stat_t st;
  if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(it->second), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
    *error = "skin entry unreadable: " + name;
    return false;
  }
  if (st.size > (256u << 20)) { *error = "skin entry too large: " + name; return false; }
  zip_file_t* f = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(it->second), 0);
  if (!f) { *error = "skin entry unreadable: " + name; return false; }
  bytes->assign(static_cast<size_t>(st.size), '\0');
  zip_int64_t got = zip_fread(f, bytes->data(), st.size);
  zip_fclose(f);
  if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) { *error = "skin entry truncated: " + name; return false; }
  return true;
}

bool GetEmbeddedSkin(const void** data, size_t* size) {
  const unsigned char* start = qenui_skin_zip_start;
  const unsigned char* end = qenui_skin_zip_end;
  if (!start || !end || end <= start) return false;
  *data = start;
  *size = static_cast<size_t>(end - start);
  return true;
}

}  // namespace DuiLib
