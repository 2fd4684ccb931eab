// The task lists: lookups by key, path and activity, copies, doing counts.
#include <gtest/gtest.h>

#include "app/task/task_data.h"

namespace {

std::unique_ptr<SOnlineTask> Online(uint32_t id, int32_t state, uint32_t key, const char16_t* path = u"") {
  auto task = std::make_unique<SOnlineTask>();
  task->task_id = id;
  task->state = state;
  task->package_key = key;
  task->file_path = path;
  return task;
}

TEST(TaskData, KeyLookupsAnswerForTheSmallestIdAndAddRefusesDuplicates) {
  COnlineTaskData list;
  EXPECT_TRUE(list.Add(Online(20, kTaskPaused, 7)));
  EXPECT_TRUE(list.Add(Online(10, kTaskDownloading, 7)));
  EXPECT_FALSE(list.Add(Online(10, kTaskPaused, 9)));  // refused, freed
  EXPECT_FALSE(list.Add(nullptr));
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.FindIdByKey(7), 10u);
  EXPECT_EQ(list.GetKeyActivity(7), 1);
  EXPECT_EQ(list.GetKeyActivity(0), -1);
  EXPECT_FALSE(list.HasKey(9));
  EXPECT_EQ(list.FindClone(10)->package_key, 7u);  // the first record stayed
}

TEST(TaskData, DoingCountsTheStatesOfTheTable) {
  struct Case { int32_t state; bool doing; };
  const Case cases[] = {{0, false}, {1, false}, {2, true}, {3, true}, {4, true}, {5, false}, {6, false},
                        {7, false}, {8, true},  {9, true}, {10, true}, {11, false}, {12, false}};
  COnlineTaskData list;
  int doing = 0;
  for (const Case& c : cases) {
    list.Add(Online(static_cast<uint32_t>(100 + c.state), c.state, 0));
    doing += c.doing ? 1 : 0;
    SCOPED_TRACE(c.state);
    EXPECT_EQ(IsTaskDoing(list.FindClone(static_cast<uint32_t>(100 + c.state)).get()), c.doing);
  }
  EXPECT_EQ(list.GetDoingCount(), doing);
  EXPECT_FALSE(IsTaskDoing(nullptr));
}

TEST(TaskData, CopiesAreTheCallersAndPathsMatchWithoutCase) {
  COnlineTaskData list;
  list.Add(Online(5, kTaskWaitingInstall, 1, u"/Down/App.APK"));
  EXPECT_EQ(list.FindIdByFilePath(u"/down/app.apk"), 5u);
  EXPECT_EQ(list.FindIdByFilePath(u"/down/other.apk"), 0u);
  auto copy = list.FindClone(5);
  copy->state = kTaskInstalled;
  copy.reset();
  EXPECT_EQ(list.FindClone(5)->state, kTaskWaitingInstall);
  EXPECT_EQ(list.FindClone(6), nullptr);
  list.SetProgress(5, 4, TaskProgress{4, 10, 100, 50});
  EXPECT_EQ(list.FindClone(5)->progress.downloaded_size, 50u);
  list.SetState(5, 12, -3);
  EXPECT_EQ(list.FindClone(5)->state_detail, -3);
  list.SetStateAndPath(6, 8, u"/x");  // unknown: nothing
  std::map<uint32_t, std::unique_ptr<SOnlineTask>> all;
  list.CopyAll(all);
  ASSERT_EQ(all.size(), 1u);
  list.Remove(5);
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(all[5]->task_id, 5u);
}

}  // namespace
