// downlist.dat: exact bytes written, escaping and non-ASCII names read
// back, one element per task id, elements of removed apk files dropped, and
// a table of hostile and damaged files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "app/task/task_list_file.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/base/tests/case_name.h"

namespace {

class TaskListFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tasklist-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    list_ = AnsiToWString(dir_ + "/downlist.dat");
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Bytes() const {
    std::ifstream in(dir_ + "/downlist.dat", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& bytes) const { std::ofstream(dir_ + "/downlist.dat", std::ios::binary) << bytes; }
  static SOfflineTask Task(uint32_t id, std::u16string name, std::u16string file) {
    SOfflineTask t;
    t.task_id = id;
    t.app_name = std::move(name);
    t.down_url = u"http://127.0.0.1/a.apk?x=1&y=2";
    t.file_path = std::move(file);
    t.icon_path = u"/icons/a.png";
    return t;
  }

  std::string dir_;
  std::u16string list_;
  std::set<std::u16string> existing_;
  std::function<bool(const std::u16string&)> exists_ = [this](const std::u16string& p) {
    return existing_.count(p) != 0;
  };
};

TEST_F(TaskListFileTest, WritesTheAttributesInOrderWithCrLf) {
  ASSERT_TRUE(SaveTaskToList(list_, Task(4000000000u, u"A&B \"q\" <x>", u"/d/a.apk")));
  ASSERT_TRUE(SaveTaskToList(list_, Task(7, u"微信", u"/d/微信.apk")));
  EXPECT_EQ(Bytes(),
            "<app app_name=\"A&amp;B &quot;q&quot; &lt;x&gt;\" task_id=\"4000000000\" "
            "down_url=\"http://127.0.0.1/a.apk?x=1&amp;y=2\" file_path=\"/d/a.apk\" icon_path=\"/icons/a.png\"/>\r\n"
            "<app app_name=\"\xE5\xBE\xAE\xE4\xBF\xA1\" task_id=\"7\" down_url=\"http://127.0.0.1/a.apk?x=1&amp;y=2\" "
            "file_path=\"/d/\xE5\xBE\xAE\xE4\xBF\xA1.apk\" icon_path=\"/icons/a.png\"/>\r\n");
}

TEST_F(TaskListFileTest, RoundTripKeepsEveryFieldAndOrder) {
  existing_ = {u"/d/a.apk", u"/d/微信.apk"};
  SaveTaskToList(list_, Task(4000000000u, u"A&B \"q\" <x>", u"/d/a.apk"));
  SaveTaskToList(list_, Task(7, u"微信", u"/d/微信.apk"));
  std::string before = Bytes();
  auto tasks = LoadTaskList(list_, exists_);
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0].task_id, 4000000000u);
  EXPECT_EQ(tasks[0].app_name, u"A&B \"q\" <x>");
  EXPECT_EQ(tasks[0].down_url, u"http://127.0.0.1/a.apk?x=1&y=2");
  EXPECT_EQ(tasks[1].app_name, u"微信");
  EXPECT_EQ(tasks[1].file_path, u"/d/微信.apk");
  EXPECT_EQ(tasks[1].icon_path, u"/icons/a.png");
  EXPECT_EQ(Bytes(), before);  // nothing dropped, nothing rewritten
}

// Saving a task already listed replaces its element; removal removes every
// element of the id, so an installed app never comes back at the next start.
TEST_F(TaskListFileTest, OneElementPerTaskIdAndRemovalTakesThemAll) {
  existing_ = {u"/d/a.apk", u"/d/b.apk"};
  SaveTaskToList(list_, Task(1, u"a", u"/d/a.apk"));
  SaveTaskToList(list_, Task(2, u"b", u"/d/b.apk"));
  SaveTaskToList(list_, Task(1, u"a2", u"/d/a.apk"));
  auto tasks = LoadTaskList(list_, exists_);
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0].task_id, 2u);
  EXPECT_EQ(tasks[1].app_name, u"a2");

  // A file written by an older program may list an id twice.
  Write(Bytes() + "<app app_name=\"a3\" task_id=\"1\" down_url=\"\" file_path=\"/d/a.apk\" icon_path=\"\"/>\r\n");
  RemoveTaskFromList(list_, 1);
  tasks = LoadTaskList(list_, exists_);
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].task_id, 2u);
}

TEST_F(TaskListFileTest, MissingApksBadAndRepeatedIdsAreDroppedAndTheFileRewritten) {
  existing_ = {u"/d/b.apk"};
  Write("<app app_name=\"a\" task_id=\"1\" down_url=\"\" file_path=\"/d/a.apk\" icon_path=\"\"/>\r\n"
        "<app app_name=\"b\" task_id=\"2\" down_url=\"\" file_path=\"/d/b.apk\" icon_path=\"\"/>\r\n"
        "<app app_name=\"c\" task_id=\"x\" down_url=\"\" file_path=\"/d/b.apk\" icon_path=\"\"/>\r\n"
        "<app app_name=\"d\" task_id=\"2\" down_url=\"\" file_path=\"/d/b.apk\" icon_path=\"\"/>\r\n");
  auto tasks = LoadTaskList(list_, exists_);
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].app_name, u"b");
  EXPECT_EQ(Bytes(), "<app app_name=\"b\" task_id=\"2\" down_url=\"\" file_path=\"/d/b.apk\" icon_path=\"\"/>\r\n");
}

TEST_F(TaskListFileTest, MissingOrBrokenFileIsAnEmptyList) {
  EXPECT_TRUE(LoadTaskList(list_, exists_).empty());
  Write("<app app_name=\"a\" task_id=");
  EXPECT_TRUE(LoadTaskList(list_, exists_).empty());
}

}  // namespace

namespace {

// downlist.dat from outside: what each kind of file gives at start and what
// is left on disk. A file that cannot be read at all is kept aside (dated,
// logged) before anything saves; a torn file whose first entries are whole
// gives those and stays as it is; entries that cannot be used are dropped
// and the file is written once without them. Every row ends with a save,
// which must lose nothing that was kept.
enum class Left { kNoFile, kUntouched, kRewritten, kMovedAside };

struct HostileCase {
  const char* label;
  bool write;  // false: no file at all
  std::string bytes;
  std::vector<uint32_t> ids;  // what the load gives, in order
  Left left;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.label; }

std::string Entry(const std::string& name, const std::string& id, const std::string& file) {
  return "<app app_name=\"" + name + "\" task_id=\"" + id + "\" down_url=\"http://127.0.0.1/" + name +
         "\" file_path=\"" + file + "\" icon_path=\"\"/>\r\n";
}

std::string RandomBytes(size_t n) {
  std::string bytes;
  uint32_t x = 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    bytes += static_cast<char>((x >> 16) & 0xFF);
  }
  bytes[17] = '\0';
  return bytes;
}

std::string Utf16LeWithMark(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

const HostileCase kHostile[] = {
    {"no file", false, "", {}, Left::kNoFile},
    {"empty", true, "", {}, Left::kUntouched},
    {"blank lines", true, "\r\n  \r\n", {}, Left::kUntouched},
    {"whole entries", true, Entry("a", "1", "/d/a.apk") + Entry("b", "2", "/d/b.apk"), {1, 2}, Left::kUntouched},
    {"escaped non-ASCII name", true, Entry("A&amp;B \xE5\xBE\xAE\xE4\xBF\xA1", "3", "/d/a.apk"), {3},
     Left::kUntouched},
    {"UTF-16 with its mark", true, Utf16LeWithMark(Entry("a", "1", "/d/a.apk")), {1}, Left::kUntouched},
    {"a path outside the download folder", true, Entry("x", "9", "/d/outside/.bashrc"), {9}, Left::kUntouched},
    {"torn after a whole entry", true, Entry("a", "1", "/d/a.apk") + "<app app_name=\"b\" task_id=", {1},
     Left::kUntouched},
    {"torn with nothing whole", true, "<app app_name=\"a\" task_id=", {}, Left::kMovedAside},
    {"600 random bytes", true, RandomBytes(600), {}, Left::kMovedAside},
    {"another document", true, "<config><app_name>a</app_name></config>", {}, Left::kMovedAside},
    {"text, not XML", true, "downloaded apps: a, b\n", {}, Left::kMovedAside},
    {"apk gone", true, Entry("a", "1", "/d/gone.apk") + Entry("b", "2", "/d/b.apk"), {2}, Left::kRewritten},
    {"bad ids", true,
     Entry("a", "x", "/d/a.apk") + Entry("b", "-1", "/d/a.apk") + Entry("c", "4294967296", "/d/a.apk") +
         Entry("d", "", "/d/a.apk") + Entry("e", "4294967295", "/d/a.apk"),
     {4294967295u}, Left::kRewritten},
    {"an id twice", true, Entry("a", "1", "/d/a.apk") + Entry("a2", "1", "/d/b.apk"), {1}, Left::kRewritten},
    {"every apk gone", true, Entry("a", "1", "/d/gone.apk"), {}, Left::kRewritten},
};

class TaskListHostileTest : public TaskListFileTest, public ::testing::WithParamInterface<HostileCase> {
 protected:
  void SetUp() override {
    TaskListFileTest::SetUp();
    ASSERT_EQ(mkdir((dir_ + "/log").c_str(), 0755), 0);
    setenv("PHONEDECK_PROGRAM_DIR", dir_.c_str(), 1);
    ASSERT_TRUE(base::BaseLog::GetInstance()->Open("log/task.log"));
  }
  void TearDown() override {
    base::BaseLog::GetInstance()->Close();
    unsetenv("PHONEDECK_PROGRAM_DIR");
    TaskListFileTest::TearDown();
  }
  std::vector<std::string> Aside() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (const dirent* e = readdir(d)) {
        if (std::string(e->d_name).rfind("downlist.dat.damaged-", 0) == 0) names.push_back(e->d_name);
      }
      closedir(d);
    }
    return names;
  }
  bool ListExists() const { return access((dir_ + "/downlist.dat").c_str(), F_OK) == 0; }
};

TEST_P(TaskListHostileTest, LoadKeepsWhatItCanAndNeverLosesTheFile) {
  const HostileCase& c = GetParam();
  existing_ = {u"/d/a.apk", u"/d/b.apk", u"/d/outside/.bashrc"};
  if (c.write) Write(c.bytes);
  std::vector<uint32_t> ids;
  for (const SOfflineTask& task : LoadTaskList(list_, exists_)) ids.push_back(task.task_id);
  EXPECT_EQ(ids, c.ids);

  const std::vector<std::string> aside = Aside();
  switch (c.left) {
    case Left::kNoFile:
      EXPECT_FALSE(ListExists());
      EXPECT_TRUE(aside.empty());
      break;
    case Left::kUntouched:
      EXPECT_EQ(Bytes(), c.bytes);
      EXPECT_TRUE(aside.empty());
      break;
    case Left::kRewritten: {
      EXPECT_NE(Bytes(), c.bytes);
      EXPECT_TRUE(aside.empty());
      const std::string rewritten = Bytes();
      std::vector<uint32_t> again;
      for (const SOfflineTask& task : LoadTaskList(list_, exists_)) again.push_back(task.task_id);
      EXPECT_EQ(again, c.ids);
      EXPECT_EQ(Bytes(), rewritten) << "written once, then stable";
      break;
    }
    case Left::kMovedAside: {
      EXPECT_FALSE(ListExists()) << "nothing saved over it yet";
      ASSERT_EQ(aside.size(), 1u);
      std::ifstream in(dir_ + "/" + aside[0], std::ios::binary);
      std::stringstream kept;
      kept << in.rdbuf();
      EXPECT_EQ(kept.str(), c.bytes);
      std::ifstream log(dir_ + "/log/task.log", std::ios::binary);
      std::stringstream text;
      text << log.rdbuf();
      EXPECT_NE(text.str().find("downlist.dat cannot be read; kept as " + dir_ + "/" + aside[0]), std::string::npos)
          << text.str();
      break;
    }
  }

  // The next save adds to what was kept, after it, with nothing in front.
  ASSERT_TRUE(SaveTaskToList(list_, Task(77, u"new", u"/d/b.apk")));
  std::vector<uint32_t> after;
  for (const SOfflineTask& task : LoadTaskList(list_, exists_)) after.push_back(task.task_id);
  std::vector<uint32_t> expected = c.ids;
  expected.push_back(77);
  EXPECT_EQ(after, expected);
  EXPECT_EQ(Aside().size(), aside.size()) << "a saved file is never moved aside";
}

INSTANTIATE_TEST_SUITE_P(DownList, TaskListHostileTest, ::testing::ValuesIn(kHostile),
                         testing_support::NamedBy(&HostileCase::label));

}  // namespace
