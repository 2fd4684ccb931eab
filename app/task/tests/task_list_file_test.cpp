// downlist.dat: exact bytes written, escaping and non-ASCII names read
// back, one element per task id, elements of removed apk files dropped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "app/task/task_list_file.h"
#include "foundation/base/code_page.h"

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
