// The batch progress box: kinds and texts, progress, the 3-2-1 countdown on
// the virtual clock, cancel of the current transfer, and the worker that
// ends with the box.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/core/message_ids.h"
#include "ui/task_windows/message_box_dlg.h"
#include "ui/task_windows/tests/task_windows_fixture.h"

namespace task_windows_test {
namespace {

class BatchBoxTest : public TaskWindowsTest {
 public:
  void Open(int kind) {
    dlg = std::make_unique<CMessageBoxDlg>();
    dlg->SetJobKind(kind);
    dlg->SetTransferCanceller([this](uintptr_t t) {
      cancelled.push_back(t);
      return true;
    });
    h = ShowMessageBoxDlg(dlg.get(), 0);
    ASSERT_NE(h, 0u);
    dlg->ShowWindow(true, true);
  }
  void TearDown() override {
    if (h && IsWindow(h)) DestroyWindow(h);
    dlg.reset();
    TaskWindowsTest::TearDown();
  }
  std::u16string Text(const char16_t* name) { return dlg->GetPaintManager()->FindControl(name)->GetText().str(); }
  int Bar() { return static_cast<CProgressUI*>(dlg->GetPaintManager()->FindControl(u"export_progress"))->GetValue(); }
  bool Shown(const char16_t* name) { return dlg->GetPaintManager()->FindControl(name)->IsVisible(); }
  void Post(UINT m, WPARAM w, LPARAM l) {
    PostMessage(h, m, w, l);
    Pump();
  }

  std::unique_ptr<CMessageBoxDlg> dlg;
  HWND h = 0;
  std::vector<uintptr_t> cancelled;
};

TEST(BatchJobKinds, EachKindHasItsTitleResultAndPerItemText) {
  struct Case { int kind; std::u16string title, result; bool per_item; };
  const Case cases[] = {
      {0, u"正在导出图片...", u"成功导出%d张图片。", false}, {1, u"正在导出音乐...", u"成功导出%d个音乐。", false},
      {2, u"正在导出视频...", u"成功导出%d个视频。", true},  {3, u"正在添加图片...", u"成功添加%d张图片。", false},
      {4, u"正在添加视频...", u"成功添加%d个视频。", true},  {5, u"正在添加音乐...", u"成功添加%d个音乐。", true},
      {6, u"正在删除图片...", u"成功删除%d张图片。", false}, {7, u"正在删除音乐...", u"成功删除%d个音乐。", false},
      {8, u"正在删除视频...", u"成功删除%d个视频。", false}, {9, u"正在删除联系人...", u"成功删除%d个联系人。", false},
      {10, u"", u"", false}, {-1, u"", u"", false},
  };
  for (const Case& c : cases) {
    BatchJobTexts t = BatchJobTextsOf(c.kind);
    EXPECT_EQ(std::u16string(t.title), c.title) << c.kind;
    EXPECT_EQ(std::u16string(t.result), c.result) << c.kind;
    EXPECT_EQ(t.per_item != nullptr, c.per_item) << c.kind;
  }
}

TEST_F(BatchBoxTest, ProgressFinishesOnlyWhenAllOfANonEmptyJobIsDone) {
  ASSERT_NO_FATAL_FAILURE(Open(kExportPictures));
  EXPECT_EQ(Text(u"lab_msg"), u"正在导出图片...");
  Post(msg::kBatchProgress, 0, 0);  // 0 of 0: not finished, and no division by 0
  EXPECT_EQ(Text(u"lab_num"), u"0/0");
  EXPECT_FALSE(Shown(u"btn_ok"));
  Post(msg::kBatchProgress, 4, 1);
  EXPECT_EQ(Bar(), 25);
  EXPECT_EQ(Text(u"lab_num"), u"1/4");
  EXPECT_FALSE(Shown(u"btn_ok"));
  Post(msg::kBatchProgress, 4, 4);
  EXPECT_EQ(Bar(), 100);
  EXPECT_EQ(Text(u"lab_msg"), u"成功导出4张图片。");
  EXPECT_TRUE(Shown(u"btn_ok"));
  EXPECT_FALSE(Shown(u"btn_cancel"));
}

TEST_F(BatchBoxTest, PerItemJobsNameTheItemAndTheirBarFollowsTheTransfer) {
  ASSERT_NO_FATAL_FAILURE(Open(kAddVideos));
  Post(msg::kBatchProgress, 1, 1);  // one file: the title stays
  EXPECT_EQ(Text(u"lab_msg"), u"正在添加视频...");
  EXPECT_EQ(Text(u"lab_num"), u"1/1");
  EXPECT_EQ(Bar(), 0);
  Post(msg::kFtpProgress, 42, 30);
  EXPECT_EQ(Bar(), 30);
  EXPECT_EQ(dlg->CurrentTransfer(), 42u);
  Post(msg::kBatchProgress, 3, 2);
  EXPECT_EQ(Text(u"lab_msg"), u"正在添加第2个视频");
  EXPECT_EQ(Bar(), 30);
  EXPECT_FALSE(Shown(u"btn_ok"));  // per-item jobs end with 1291
  Post(msg::kFtpProgress, 42, 100);
  EXPECT_EQ(dlg->CurrentTransfer(), 0u);
  Post(msg::kBatchFinished, 3, 0);
  EXPECT_EQ(Text(u"lab_msg"), u"成功添加3个视频。");
}

TEST_F(BatchBoxTest, TheFinishedBoxCountsDownAndClosesAfterThreeSeconds) {
  ASSERT_NO_FATAL_FAILURE(Open(kDeleteContacts));
  host->SetAutoAdvance(false);
  Post(msg::kBatchFinished, 5, 0);
  EXPECT_EQ(Text(u"lab_msg"), u"成功删除5个联系人。");
  EXPECT_EQ(Text(u"btn_ok"), u"确定 ({c #009900}3{/c})");
  host->Advance(999);
  EXPECT_EQ(Text(u"btn_ok"), u"确定 ({c #009900}3{/c})");
  host->Advance(1);
  EXPECT_EQ(Text(u"btn_ok"), u"确定 ({c #009900}2{/c})");
  host->Advance(1000);
  EXPECT_EQ(Text(u"btn_ok"), u"确定 ({c #009900}1{/c})");
  EXPECT_TRUE(IsWindow(h));
  host->Advance(999);
  EXPECT_TRUE(IsWindow(h));
  host->Advance(1);
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(BatchBoxTest, ModalResultsOfTheButtonsTheCountdownAndEscape) {
  struct Case { const char* name; std::function<void(HWND)> act; UINT result; };
  const Case cases[] = {
      {"ok", [](HWND b) { PostMessage(b, msg::kBatchFinished, 1, 0); PumpPendingMessages(); ClickControl(b, u"btn_ok"); }, 1},
      {"countdown", [](HWND b) { PostMessage(b, msg::kBatchFinished, 1, 0); }, 1},
      {"cancel", [](HWND b) { ClickControl(b, u"btn_cancel"); }, 2},
      {"close", [](HWND b) { ClickControl(b, u"close_btn"); }, 2},
      {"escape", [](HWND b) { PressKey(b, VK_ESCAPE); }, 2},
      {"enter does nothing", [](HWND b) { PressKey(b, VK_RETURN); PostMessage(b, msg::kBatchFinished, 1, 0); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Open(kExportMusic));
    host->PushModalScript(c.act);
    EXPECT_EQ(dlg->ShowModal(), c.result);
  }
}

TEST_F(BatchBoxTest, CancelCancelsOnlyATransferThatIsStillCurrent) {
  struct Case { const char* name; std::vector<std::pair<WPARAM, LPARAM>> transfers; std::vector<uintptr_t> cancelled; };
  const Case cases[] = {
      {"no transfer", {}, {}},
      {"transfer running", {{7, 10}, {7, 55}}, {7}},
      {"transfer ended", {{7, 10}, {7, 100}}, {}},
      {"next transfer running", {{7, 100}, {8, 5}}, {8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cancelled.clear();
    ASSERT_NO_FATAL_FAILURE(Open(kExportVideos));
    for (auto [handle, percent] : c.transfers) PostMessage(h, msg::kFtpProgress, handle, percent);
    Pump();
    host->PushModalScript([](HWND b) { PressKey(b, VK_ESCAPE); });
    EXPECT_EQ(dlg->ShowModal(), 2u);
    EXPECT_EQ(cancelled, c.cancelled);
  }
}

TEST_F(BatchBoxTest, TheDefaultCancelOfAnUnknownTransferIsRefusedQuietly) {
  CMessageBoxDlg box;  // the FTP channel's transfer table
  box.SetJobKind(kExportVideos);
  HWND b = ShowMessageBoxDlg(&box, 0);
  ASSERT_NE(b, 0u);
  PostMessage(b, msg::kFtpProgress, 123456, 50);
  host->PushModalScript([](HWND w) { ClickControl(w, u"btn_cancel"); });
  EXPECT_EQ(box.ShowModal(), 2u);
}

TEST_F(BatchBoxTest, TheWorkerIsStoppedAndJoinedWhenTheBoxCloses) {
  ASSERT_NO_FATAL_FAILURE(Open(kExportPictures));
  std::mutex m;
  std::condition_variable cv;
  bool started = false;
  std::atomic<bool> saw_stop{false};
  std::atomic<bool> ended{false};
  ASSERT_TRUE(dlg->StartWorker([&](const BatchJobControl& job) {
    PostMessage(job.Window(), msg::kBatchProgress, 10, 1);
    {
      std::lock_guard<std::mutex> hold(m);
      started = true;
    }
    cv.notify_all();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!job.Stopped() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
    saw_stop = job.Stopped();
    ended = true;
  }));
  EXPECT_FALSE(dlg->StartWorker([](const BatchJobControl&) {}));  // one worker per box
  {
    std::unique_lock<std::mutex> hold(m);
    ASSERT_TRUE(cv.wait_for(hold, std::chrono::seconds(10), [&] { return started; }));
  }
  Pump();
  EXPECT_EQ(Text(u"lab_num"), u"1/10");
  ClickControl(h, u"btn_cancel");
  Pump();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_TRUE(ended);  // joined when the window went
  EXPECT_TRUE(saw_stop);
}

TEST_F(BatchBoxTest, TheInitCallbackRunsOnceTheWindowExists) {
  struct Seen { HWND window = 0; bool had_window = false; } seen;
  auto box = std::make_unique<CMessageBoxDlg>();
  static CMessageBoxDlg* current = nullptr;
  current = box.get();
  box->SetInitCallback(&seen, [](void* data) {
    auto* s = static_cast<Seen*>(data);
    s->window = current->GetHWND();
    s->had_window = s->window != 0;
  });
  HWND b = ShowMessageBoxDlg(box.get(), 0);
  EXPECT_TRUE(seen.had_window);
  EXPECT_EQ(seen.window, b);
  DestroyWindow(b);
}

}  // namespace
}  // namespace task_windows_test
