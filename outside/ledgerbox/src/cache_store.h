// CacheStore: the cache's SQLite database. Values are the byte forms of
// record_codec.h; keys are built from the records' fields.
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
  // missing; a link or another user's folder is refused).
  bool Open(const std::string& folder);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // One value per (table, key); tables: see the schema in cache_store.cpp.
  bool Put(const char* table, const Bytes& key, const Bytes& value);
  std::optional<Bytes> Get(const char* table, const Bytes& key);

 private:
  bool Exec(const char* sql);
  sqlite3* db_ = nullptr;
};

// Table names.
extern const char kSysTable[];
extern const char kDeviceTable[];
extern const char kPairTable[];
extern const char kSoftwareTable[];
extern const char kDescriptionTable[];

}  // namespace ledgerbox

#endif  // OUTSIDE_LEDGERBOX_SRC_CACHE_STORE_H_
