#include "sql_db.h"

#include <sys/stat.h>

#include <cstdlib>

#include "foundation/base/code_page.h"
#include "foundation/base/file_util.h"
#include "foundation/base/swarm_log.h"
#include "foundation/base/unicode.h"
#include "module_state.h"

namespace swarmload {

namespace {

constexpr char16_t kCreateInfoTable[] =
    u"Create Table tblDBInfo (IDVer short, idOwner varchar[128], NewVer\tchar[1], memo varchar[64], "
    u"PRIMARY KEY(idOwner));";
constexpr char16_t kCreateDownTable[] =
    u"Create Table tblDownInfo(IndexID INTEGER PRIMARY KEY,"
    u"\t\t\t\t\t\t   url char[512],"
    u"\t\t\t\t\t\t   path char[512],"
    u"\t\t\t\t\t\t   hash char[64],"
    u"\t\t\t\t\t\t   time char[64],"
    u"\t\t\t\t\t\t   reserved char[128],"
    u"\t\t\t\t\t\t   size int64);";
constexpr char16_t kSyncOff[] = u"PRAGMA synchronous = OFF; ";
constexpr char16_t kSyncNormal[] = u"PRAGMA synchronous = NORMAL; ";

std::u16string FromUtf8(const char* text) {
  if (text == nullptr) return std::u16string();
  return unicode::Utf8ToUtf16(text, std::char_traits<char>::length(text));
}

std::string ToUtf8(const std::u16string& text) { return unicode::Utf16ToUtf8(text.data(), text.size()); }

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// The results that mean the file itself is no sound database.
bool IsDamage(int result) { return result == SQLITE_NOTADB || result == SQLITE_CORRUPT; }

}  // namespace

std::u16string EscapeSqlQuotes(const std::u16string& text) {
  std::u16string out = text;
  size_t pos = out.find(u'\'');
  while (pos != std::u16string::npos) {
    out.replace(pos, 1, u"''");
    pos = out.find(u'\'', pos + 2);
  }
  return out;
}

CSqlDB::~CSqlDB() { CSqlDB::Close(); }

void CSqlDB::Close() {
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
}

int CSqlDB::ClearAll() {
  Exec(kSyncOff);
  Exec(u"Delete from tblDownInfo;");
  Exec(kSyncNormal);
  return 0;
}

int CSqlDB::CreateTables() { return 1; }

int CSqlDB::Exec(const std::u16string& statement) {
  if (db_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_exec(db_, ToUtf8(statement).c_str(), nullptr, nullptr, nullptr);
}

CSqlDownInfoDB::~CSqlDownInfoDB() { CSqlDownInfoDB::Close(); }

void CSqlDownInfoDB::Close() {
  rows_.clear();
  CSqlDB::Close();
}

int CSqlDownInfoDB::CreateTables() { return Exec(kCreateDownTable); }

int CSqlDownInfoDB::CreateInfoTable() {
  int result = Exec(kCreateInfoTable);
  if (result == SQLITE_OK) {
    result = Exec(u"Insert into tblDBInfo(IDVer, idOwner, NewVer, memo) Values(1, 'downloadinfo', 0, "
                  u"'Infomation datebase file 1.0');");
  }
  return result;
}

int CSqlDownInfoDB::FindTable(const char* name, bool* exists) {
  char** table = nullptr;
  int rows = 0, columns = 0;
  const std::string query = std::string("Select name from sqlite_master where type='table' and name='") + name + "';";
  const int result = sqlite3_get_table(db_, query.c_str(), &table, &rows, &columns, nullptr);
  if (result != SQLITE_OK) return result;
  sqlite3_free_table(table);
  *exists = rows > 0;
  return SQLITE_OK;
}

std::string CSqlDownInfoDB::FilePath() const {
  std::string path = ToUtf8(folder_);
  if (!path.empty() && path.back() != '/') path += '/';
  return path + "DownLoadInfo.db";
}

int CSqlDownInfoDB::Open() {
  const int result = OpenFile();
  return IsDamage(result) ? StartAfresh(result) : result;
}

int CSqlDownInfoDB::StartAfresh(int damage) {
  CSqlDB::Close();
  rows_.clear();
  const std::string path = FilePath();
  const std::u16string aside = MoveAsideDated(FromUtf8(path.c_str()), {u"-journal", u"-wal", u"-shm"});
  if (aside.empty()) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "%s is damaged(%d) and cannot be moved aside",
              path.c_str(), damage);
    return damage;
  }
  PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "%s is damaged(%d): moved aside to %s, a new one is made",
            path.c_str(), damage, ToUtf8(aside).c_str());
  return OpenFile();
}

int CSqlDownInfoDB::OpenFile() {
  const std::string path = FilePath();
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  int result = sqlite3_open(path.c_str(), &db_);
  if (result != SQLITE_OK) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "sqlite3_open %s error(%d)",
              exists ? "open" : "create", result);
    CSqlDB::Close();
    return result;
  }
  // A first start that was cut short leaves a file without one of the
  // tables; each missing one is made as a new file would have it. A file
  // that cannot even be asked which tables it holds is damaged.
  bool has_info = false, has_down = false;
  if (exists) result = FindTable("tblDBInfo", &has_info);
  if (result == SQLITE_OK && exists) result = FindTable("tblDownInfo", &has_down);
  if (result == SQLITE_OK && !has_info) result = CreateInfoTable();
  if (result == SQLITE_OK && !has_down) result = CreateTables();
  if (result != SQLITE_OK && !IsDamage(result)) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "sqlite3 create tables error(%d)", result);
  }
  return result;
}

void CSqlDownInfoDB::LoadAll() {
  if (db_ == nullptr) return;
  Exec(kSyncOff);
  char** table = nullptr;
  int rows = 0, columns = 0;
  const int result = sqlite3_get_table(db_, "Select * from tblDownInfo;", &table, &rows, &columns, nullptr);
  if (IsDamage(result)) {
    StartAfresh(result);  // the rows go with the damaged file
  } else if (result != SQLITE_OK) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "CSqlDownInfoDB::LoadAll failed(%d) ", result);
    if (result == SQLITE_NOTFOUND) CreateTables();
  } else {
    for (int r = 1; r <= rows; ++r) {
      char** row = table + r * columns;
      Row record;
      const std::u16string key = columns > 1 ? FromUtf8(row[1]) : std::u16string();
      if (columns > 2 && row[2] != nullptr) record.path = FromUtf8(row[2]);
      if (columns > 3 && row[3] != nullptr) record.hash = FromUtf8(row[3]);
      if (columns > 4 && row[4] != nullptr) record.time = FromUtf8(row[4]);
      if (columns > 6 && row[6] != nullptr) record.size = static_cast<int64_t>(std::strtod(row[6], nullptr));
      rows_.emplace(key, record);  // an existing key keeps its first record
    }
    sqlite3_free_table(table);
  }
  Exec(kSyncNormal);
}

bool CSqlDownInfoDB::UpdateDownLoadInfo(const std::u16string& url, const std::u16string& path, int64_t size) {
  base_MutexGuard guard(&DatabaseLock());
  const auto it = rows_.find(url);
  if (it != rows_.end()) {
    if (it->second.path == path) return true;
    DeleteByUrl(url);
  }
  const std::u16string statement = u"Insert into tblDownInfo(url, path, hash, time, reserved, size) "
                                   u"\t\t\t\t\t\t\t\tValues('" +
                                   EscapeSqlQuotes(url) + u"','" + EscapeSqlQuotes(path) + u"','','','','" +
                                   Ascii(std::to_string(size)) + u"')";
  if (statement.size() >= kInsertUnits) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError,
              "CSqlDownInfoDB::UpdateDownLoadInfo failed(statement of %zu units refused) ", statement.size());
    return false;
  }
  Exec(kSyncOff);
  const int result = Exec(statement);
  if (result != SQLITE_OK) {
    PD_LOG_TO(base::CBaseLog::GetInstance(), base::kLogError, "CSqlDownInfoDB::UpdateDownLoadInfo failed(%d) ",
              result);
  } else {
    rows_[url] = Row{path, std::u16string(), std::u16string(), size};
  }
  Exec(kSyncNormal);
  return result == SQLITE_OK;
}

bool CSqlDownInfoDB::DeleteByUrl(const std::u16string& url) {
  base_MutexGuard guard(&DatabaseLock());
  rows_.erase(url);
  return Exec(u"Delete from tblDownInfo where url='" + EscapeSqlQuotes(url) + u"'") != SQLITE_OK;
}

bool CSqlDownInfoDB::FindByUrl(const std::string& url, Row* out) {
  base_MutexGuard guard(&DatabaseLock());
  const auto it = rows_.find(AnsiToWString(url));
  if (it == rows_.end()) return false;
  *out = it->second;
  return true;
}

CSqlDownInfoDB& DownInfoDB() {
  static CSqlDownInfoDB db;
  return db;
}

}  // namespace swarmload
