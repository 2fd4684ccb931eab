// The task database "DownLoadInfo.db" in the work folder: finished files by
// URL (path and size), loaded whole into memory at start and written
// through on every change. SQLite; statements are built as UTF-16 and
// handed to SQLite as UTF-8.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>

namespace swarmload {

// The connection and the folder of the file.
class CSqlDB {
 public:
  CSqlDB() = default;
  virtual ~CSqlDB();
  CSqlDB(const CSqlDB&) = delete;
  CSqlDB& operator=(const CSqlDB&) = delete;

  virtual void Close();
  // "Delete from tblDownInfo;" with synchronous writes off around it; 0.
  virtual int ClearAll();
  virtual int CreateTables();

  void SetFolder(const std::u16string& folder) { folder_ = folder; }
  bool IsOpen() const { return db_ != nullptr; }

 protected:
  // Runs one statement; SQLite's result code (SQLITE_MISUSE when closed).
  int Exec(const std::u16string& statement);

  sqlite3* db_ = nullptr;
  std::u16string folder_;
};

// Threading: UpdateDownLoadInfo, FindByUrl and the deletion from
// P2SPNewTask run under the database lock (module_state.h); Open, LoadAll
// and Close under the engine lock at the first start and the last close.
class CSqlDownInfoDB : public CSqlDB {
 public:
  struct Row {
    std::u16string path;
    std::u16string hash;
    std::u16string time;
    int64_t size = 0;
  };

  // The longest insert statement, in UTF-16 units with its terminator.
  static constexpr size_t kInsertUnits = 2048;

  ~CSqlDownInfoDB() override;
  void Close() override;
  int CreateTables() override;

  // Opens (or creates) the file in the folder; creates a table that an
  // interrupted first start left out. A file that is not a database, or a
  // damaged one, is moved aside under a dated name and a new one is made
  // (logged). SQLite's result code.
  int Open();
  // Loads every row; a file found damaged on the way is moved aside and
  // started afresh, as by Open (its rows are lost with it).
  void LoadAll();
  // True when the row is recorded (or was already, with this path).
  bool UpdateDownLoadInfo(const std::u16string& url, const std::u16string& path, int64_t size);
  // True when the statement failed.
  bool DeleteByUrl(const std::u16string& url);
  bool FindByUrl(const std::string& url, Row* out);

 private:
  std::string FilePath() const;
  int OpenFile();
  // Moves the damaged file aside and opens a new one; SQLite's result code.
  int StartAfresh(int damage);
  int CreateInfoTable();
  // SQLite's result code of the lookup; *exists is set on success.
  int FindTable(const char* name, bool* exists);

  std::map<std::u16string, Row> rows_;
};

CSqlDownInfoDB& DownInfoDB();

// Every "'" doubled.
std::u16string EscapeSqlQuotes(const std::u16string& text);

}  // namespace swarmload
