// The task database file: its schema text, rows, quoting, non-ASCII paths,
// the repair of a half-made file and a damaged file set aside.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/base/code_page.h"
#include "foundation/base/tests/case_name.h"
#include "sql_db.h"
#include "testing/sqlite_damage.h"

namespace {

using swarmload::CSqlDownInfoDB;

class SqlDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/swarmload_db_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string File() const { return folder_ + "/DownLoadInfo.db"; }

  // Rows of a query on the file, each row's columns joined with "|".
  std::vector<std::string> Query(const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
    char** table = nullptr;
    int rows = 0, columns = 0;
    std::vector<std::string> out;
    if (sqlite3_get_table(db, sql.c_str(), &table, &rows, &columns, nullptr) == SQLITE_OK) {
      for (int r = 1; r <= rows; ++r) {
        std::string line;
        for (int c = 0; c < columns; ++c) {
          if (c > 0) line += "|";
          const char* value = table[r * columns + c];
          line += value != nullptr ? value : "NULL";
        }
        out.push_back(line);
      }
      sqlite3_free_table(table);
    }
    sqlite3_close(db);
    return out;
  }

  void OpenFresh(CSqlDownInfoDB* db) {
    db->SetFolder(AnsiToWString(folder_));
    ASSERT_EQ(db->Open(), 0);
    db->LoadAll();
  }

  std::string folder_;
};

const char kDownTableText[] =
    "CREATE TABLE tblDownInfo(IndexID INTEGER PRIMARY KEY,\t\t\t\t\t\t   url char[512],\t\t\t\t\t\t   path "
    "char[512],\t\t\t\t\t\t   hash char[64],\t\t\t\t\t\t   time char[64],\t\t\t\t\t\t   reserved "
    "char[128],\t\t\t\t\t\t   size int64)";
const char kInfoTableText[] =
    "CREATE TABLE tblDBInfo (IDVer short, idOwner varchar[128], NewVer\tchar[1], memo varchar[64], "
    "PRIMARY KEY(idOwner))";

TEST_F(SqlDbTest, FirstStartMakesTheSchemaAndItsInfoRow) {
  {
    CSqlDownInfoDB db;
    ASSERT_NO_FATAL_FAILURE(OpenFresh(&db));
  }
  const auto schema = Query("select name, sql from sqlite_master where type='table' order by name");
  ASSERT_EQ(schema.size(), 2u);
  // SQLite keeps the statement's text (it upper-cases the leading words only).
  EXPECT_EQ(schema[0], std::string("tblDBInfo|") + kInfoTableText);
  EXPECT_EQ(schema[1], std::string("tblDownInfo|") + kDownTableText);
  EXPECT_EQ(Query("select * from tblDBInfo"), std::vector<std::string>{"1|downloadinfo|0|Infomation datebase file 1.0"});
  EXPECT_TRUE(Query("select * from tblDownInfo").empty());
}

TEST_F(SqlDbTest, RowsQuotesAndNonAsciiSurviveARestart) {
  const std::u16string url = u"http://127.0.0.1/it's.apk";
  const std::u16string path = u"/tmp/下载/o'brien.apk";
  {
    CSqlDownInfoDB db;
    ASSERT_NO_FATAL_FAILURE(OpenFresh(&db));
    db.UpdateDownLoadInfo(url, path, 1234);
    db.UpdateDownLoadInfo(url, path, 1234);  // the same again: nothing new
    EXPECT_EQ(Query("select count(*) from tblDownInfo"), std::vector<std::string>{"1"});
    db.UpdateDownLoadInfo(url, u"/tmp/new path.apk", 99);  // a new path replaces the row
    db.UpdateDownLoadInfo(u"http://127.0.0.1/b", path, 5);
  }
  const auto rows = Query("select url, path, hash, time, reserved, size from tblDownInfo order by IndexID");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], "http://127.0.0.1/it's.apk|/tmp/new path.apk||||99");
  EXPECT_EQ(rows[1], "http://127.0.0.1/b|/tmp/下载/o'brien.apk||||5");

  CSqlDownInfoDB again;
  ASSERT_NO_FATAL_FAILURE(OpenFresh(&again));
  CSqlDownInfoDB::Row row;
  ASSERT_TRUE(again.FindByUrl("http://127.0.0.1/b", &row));
  EXPECT_EQ(row.path, path);
  EXPECT_EQ(row.size, 5);
  EXPECT_TRUE(row.hash.empty());
  EXPECT_FALSE(again.DeleteByUrl(url));  // a url with a quote is deleted
  EXPECT_FALSE(again.FindByUrl("http://127.0.0.1/it's.apk", &row));
  EXPECT_EQ(Query("select count(*) from tblDownInfo"), std::vector<std::string>{"1"});
}

TEST_F(SqlDbTest, RepairsAFileThatAFirstStartLeftHalfMade) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(File().c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, (std::string(kInfoTableText) + ";").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(raw);

  CSqlDownInfoDB db;
  ASSERT_NO_FATAL_FAILURE(OpenFresh(&db));
  db.UpdateDownLoadInfo(u"http://127.0.0.1/a", u"/tmp/a", 1);
  EXPECT_EQ(Query("select sql from sqlite_master where name='tblDownInfo'"),
            std::vector<std::string>{kDownTableText});
  EXPECT_EQ(Query("select count(*) from tblDownInfo"), std::vector<std::string>{"1"});
}

TEST_F(SqlDbTest, RefusesAnInsertLongerThanItsStatementBuffer) {
  CSqlDownInfoDB db;
  ASSERT_NO_FATAL_FAILURE(OpenFresh(&db));
  EXPECT_FALSE(db.UpdateDownLoadInfo(u"http://127.0.0.1/long", std::u16string(2000, u'p'), 1));
  CSqlDownInfoDB::Row row;
  EXPECT_FALSE(db.FindByUrl("http://127.0.0.1/long", &row));
  EXPECT_TRUE(Query("select * from tblDownInfo").empty());
}

TEST(EscapeSqlQuotes, DoublesEachQuote) {
  EXPECT_EQ(swarmload::EscapeSqlQuotes(u"a'b''c'"), u"a''b''''c''");
  EXPECT_EQ(swarmload::EscapeSqlQuotes(u""), u"");
}

class DamagedDbTest : public SqlDbTest, public ::testing::WithParamInterface<testing_support::SqliteDamage> {
 protected:
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

// The damaged file is kept aside as it was, a new one is made with its
// schema, and finished files are recorded again.
TEST_P(DamagedDbTest, IsSetAsideAndMadeAgain) {
  {
    CSqlDownInfoDB db;
    ASSERT_NO_FATAL_FAILURE(OpenFresh(&db));
    ASSERT_TRUE(db.UpdateDownLoadInfo(u"http://127.0.0.1/old", u"/tmp/old", 1));
  }
  const std::string damaged = GetParam().damage(ReadFile(File()));
  std::ofstream(File(), std::ios::binary | std::ios::trunc) << damaged;

  CSqlDownInfoDB db;
  ASSERT_NO_FATAL_FAILURE(OpenFresh(&db));
  CSqlDownInfoDB::Row row;
  EXPECT_FALSE(db.FindByUrl("http://127.0.0.1/old", &row));
  EXPECT_TRUE(db.UpdateDownLoadInfo(u"http://127.0.0.1/new", u"/tmp/new", 2));
  ASSERT_TRUE(db.FindByUrl("http://127.0.0.1/new", &row));
  db.Close();
  EXPECT_EQ(Query("select url, path, size from tblDownInfo"), std::vector<std::string>{"http://127.0.0.1/new|/tmp/new|2"});
  EXPECT_EQ(Query("select count(*) from tblDBInfo"), std::vector<std::string>{"1"});

  const std::vector<std::string> aside = testing_support::DamagedAside(folder_, "DownLoadInfo.db");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFile(folder_ + "/" + aside[0]), damaged);
}

INSTANTIATE_TEST_SUITE_P(SqlDb, DamagedDbTest, ::testing::ValuesIn(testing_support::kSqliteDamages),
                         testing_support::NamedBy(&testing_support::SqliteDamage::label));

}  // namespace
