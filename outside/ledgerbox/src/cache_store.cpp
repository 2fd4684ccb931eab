#include "cache_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "platform/user_folders.h"

namespace ledgerbox {

const char kSysTable[] = "sys_info";
const char kDeviceTable[] = "devices";
const char kPairTable[] = "device_pairs";
const char kSoftwareTable[] = "brand_software";
const char kDescriptionTable[] = "driver_descriptions";

namespace {
// Every table maps a key built from record fields to the byte form of a value.
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS sys_info(key BLOB PRIMARY KEY, value BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS devices(key BLOB PRIMARY KEY, value BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS device_pairs(key BLOB PRIMARY KEY, value BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS brand_software(key BLOB PRIMARY KEY, value BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS driver_descriptions(key BLOB PRIMARY KEY, value BLOB NOT NULL);";

// The folder exists (made 0700 when missing), is a real folder and is ours.
bool PrivateFolder(const std::string& folder) {
  if (folder.empty() || folder[0] != '/') return false;
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), slash == std::string::npos ? 0700 : 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// The results that mean the file itself is no sound database.
bool IsDamage(int result) { return result == SQLITE_NOTADB || result == SQLITE_CORRUPT; }
}  // namespace

std::string CacheFolder() {
  const char* over = std::getenv("LEDGERBOX_DIR");
  if (over && over[0] == '/') return over;
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const std::string base = xdg && xdg[0] == '/' ? std::string(xdg) : platform::HomeDir() + "/.cache";
  return base + "/Shelfhub";
}

CacheStore::~CacheStore() { Close(); }

bool CacheStore::Open(const std::string& folder) {
  if (db_) return true;
  if (!PrivateFolder(folder)) return false;
  path_ = folder + "/ledgerbox.db";
  const int result = OpenFile();
  if (IsDamage(result)) return StartAfresh(result);
  return result == SQLITE_OK;
}

int CacheStore::OpenFile() {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW;
  int result = sqlite3_open_v2(path_.c_str(), &db, flags, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_close(db);
    return result;
  }
  db_ = db;
  sqlite3_busy_timeout(db_, 2000);  // another process of the program may be writing
  result = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) Close();
  return result;
}

bool CacheStore::StartAfresh(int damage) {
  Close();
  const std::string aside = WStringToMultiByte(
      MoveAsideDated(MultiByteToWString(path_, CP_UTF8), {u"-journal", u"-wal", u"-shm"}), CP_UTF8);
  if (aside.empty()) {
    std::fprintf(stderr, "Ledgerbox: %s is damaged (%s) and cannot be moved aside; the cache stays off\n",
                 path_.c_str(), sqlite3_errstr(damage));
    return false;
  }
  std::fprintf(stderr, "Ledgerbox: %s is damaged (%s): moved aside to %s, a fresh cache is started\n", path_.c_str(),
               sqlite3_errstr(damage), aside.c_str());
  return OpenFile() == SQLITE_OK;
}

void CacheStore::Close() {
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
}

int CacheStore::Step(const std::string& sql, const Bytes& key, const Bytes* value, std::optional<Bytes>* found) {
  sqlite3_stmt* stmt = nullptr;
  int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
  if (result != SQLITE_OK) return result;
  sqlite3_bind_blob(stmt, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
  if (value) sqlite3_bind_blob(stmt, 2, value->data(), static_cast<int>(value->size()), SQLITE_TRANSIENT);
  result = sqlite3_step(stmt);
  if (result == SQLITE_ROW && found) {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, 0));
    const int n = sqlite3_column_bytes(stmt, 0);
    *found = Bytes(p, p + (n > 0 ? n : 0));
  }
  sqlite3_finalize(stmt);
  return result;
}

bool CacheStore::Put(const char* table, const Bytes& key, const Bytes& value) {
  if (!db_) return false;
  const std::string sql = std::string("INSERT OR REPLACE INTO ") + table + "(key, value) VALUES(?1, ?2)";
  int result = Step(sql, key, &value, nullptr);
  if (IsDamage(result) && StartAfresh(result)) result = Step(sql, key, &value, nullptr);
  return result == SQLITE_DONE;
}

std::optional<Bytes> CacheStore::Get(const char* table, const Bytes& key) {
  if (!db_) return std::nullopt;
  const std::string sql = std::string("SELECT value FROM ") + table + " WHERE key = ?1";
  std::optional<Bytes> value;
  const int result = Step(sql, key, nullptr, &value);
  if (IsDamage(result)) StartAfresh(result);  // the fresh cache holds nothing yet
  return result == SQLITE_ROW ? value : std::nullopt;
}

}  // namespace ledgerbox
