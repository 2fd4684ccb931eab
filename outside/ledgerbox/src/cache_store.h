// CacheStore: the cache's SQLite database. Values are the byte forms of
// record_codec.h; keys are built from the records' fields. It is only a
// cache: a file found damaged (not a database, or corrupt) is moved aside
// under a dated name, a fresh one takes its place, and a line on stderr
// says so.
//
// Threading: none inside; the exports serialise every call under one lock.
#ifndef OUTSIDE_LEDGERBOX_SRC_CACHE_STORE_H_
#define OUTSIDE_LEDGERBOX_SRC_CACHE_STORE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "record_codec.h"

struct sqlite3;

namespace ledgerbox {

// The folder of the database: $LEDGERBOX_DIR when set and absolute, else the
// user's cache folder + "/Shelfhub".
std::string CacheFolder();

class CacheStore {
 public:
  CacheStore() = default;
  ~CacheStore();
  CacheStore(const CacheStore&) = delete;
  CacheStore& operator=(const CacheStore&) = delete;

  // Opens or creates `folder`/ledgerbox.db (the folder made 0700 when
  // missing; a link or another user's folder is refused), starting afresh
  // when the file is damaged.
  bool Open(const std::string& folder);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // One value per (table, key); tables: see the schema in cache_store.cpp.
  // Damage found on the way starts the cache afresh: the value is then not
  // found, or put into the fresh file.
  bool Put(const char* table, const Bytes& key, const Bytes& value);
  std::optional<Bytes> Get(const char* table, const Bytes& key);

 private:
  // SQLite's result code of opening the file and making its tables.
  int OpenFile();
  // Moves the damaged file aside and opens a fresh one; true when open.
  bool StartAfresh(int damage);
  // SQLite's result code of one statement.
  int Step(const std::string& sql, const Bytes& key, const Bytes* value, std::optional<Bytes>* found);

  sqlite3* db_ = nullptr;
  std::string path_;
};

// Table names.
extern const char kSysTable[];
extern const char kDeviceTable[];
extern const char kPairTable[];
extern const char kSoftwareTable[];
extern const char kDescriptionTable[];

}  // namespace ledgerbox

#endif  // OUTSIDE_LEDGERBOX_SRC_CACHE_STORE_H_
