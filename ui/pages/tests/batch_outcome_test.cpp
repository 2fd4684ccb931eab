// What the batch box says after a walk whose items worked, failed or found
// no phone: one table over the real walk and the real box, headless. Only
// the items that worked count as done; the ones that failed are named
// apart; the count and the bar still move per item handled.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/base/tests/case_name.h"
#include "ui/pages/batch_run.h"
#include "ui/tests/temp_user_fixture.h"

namespace {

using namespace DuiLib;
constexpr BatchItem kOk = BatchItem::kSucceeded;
constexpr BatchItem kFail = BatchItem::kFailed;
constexpr BatchItem kGone = BatchItem::kNoPhone;

struct Walk {
  const char* label;
  int32_t kind;
  std::vector<BatchItem> items;
  const char16_t* message;
  const char16_t* count;
  int ran;  // items the walk handed to the step
};

const Walk kWalks[] = {
    {"pictures exported one failing", kExportPictures, {kOk, kFail, kOk}, u"成功导出2张图片，1张失败。", u"3/3", 3},
    {"music exported all failing", kExportMusic, {kFail, kFail, kFail}, u"成功导出0个音乐，3个失败。", u"3/3", 3},
    {"videos exported one at a time all failing", kExportVideos, {kFail, kFail}, u"成功导出0个视频，2个失败。", u"2/2",
     2},
    {"music added one at a time", kAddMusic, {kOk}, u"成功添加1个音乐。", u"1/1", 1},
    {"pictures deleted until the phone went", kDeletePictures, {kOk, kFail, kGone, kOk}, u"成功删除1张图片，1张失败。",
     u"2/4", 3},
    {"videos added until the phone went", kAddVideos, {kFail, kGone}, u"成功添加0个视频，1个失败。", u"2/2", 2},
};

class BatchOutcome : public ui_test::TempUserTest, public ::testing::WithParamInterface<Walk> {
 protected:
  void TearDown() override {
    if (h_ && IsWindow(h_)) DestroyWindow(h_);
    box_.reset();
    ui_test::TempUserTest::TearDown();
  }
  std::unique_ptr<CMessageBoxDlg> box_;
  HWND h_ = 0;
};

TEST_P(BatchOutcome, CountsOnlyWhatWorked) {
  const Walk& walk = GetParam();
  box_ = std::make_unique<CMessageBoxDlg>();
  box_->SetJobKind(walk.kind);
  h_ = ShowMessageBoxDlg(box_.get(), 0);
  ASSERT_NE(h_, 0u);
  std::atomic<int> ran{0};
  std::atomic<bool> done{false};
  ASSERT_TRUE(box_->StartWorker([&](const BatchJobControl& control) {
    RunBatch(control, walk.kind, static_cast<int>(walk.items.size()), [&](int i) {
      ++ran;
      return walk.items[static_cast<size_t>(i)];
    });
    done = true;
  }));
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  PumpPendingMessages();
  CPaintManagerUI* pm = box_->GetPaintManager();
  EXPECT_EQ(ran, walk.ran);
  EXPECT_EQ(pm->FindControl(u"lab_msg")->GetText(), walk.message);
  EXPECT_TRUE(pm->FindControl(u"btn_ok")->IsVisible());
  // The count label follows the items handled (the per-item kinds count
  // each item as it starts); a walk the phone ended stops where it was.
  EXPECT_EQ(pm->FindControl(u"lab_num")->GetText(), walk.count);
}

INSTANTIATE_TEST_SUITE_P(Batch, BatchOutcome, ::testing::ValuesIn(kWalks), testing_support::NamedBy(&Walk::label));

}  // namespace
