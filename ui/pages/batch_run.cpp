#include "ui/pages/batch_run.h"

#include <memory>

#include "app/core/message_ids.h"
#include "foundation/base/log.h"

namespace {

bool BoxStands(const BatchJobControl& box) { return !box.Stopped() && DuiLib::IsWindow(box.Window()); }

}  // namespace

bool IsPerItemJob(int32_t kind) { return BatchJobTextsOf(kind).per_item != nullptr; }

int RunBatch(const BatchJobControl& box, int32_t kind, int total, const std::function<BatchItem(int)>& item) {
  const bool per_item = IsPerItemJob(kind);
  int done = 0;
  for (int i = 0; i < total; ++i) {
    if (!BoxStands(box)) {
      PD_LOG_INFO("batch job %d: the box closed before item %d of %d", kind, i + 1, total);
      return done;
    }
    if (per_item) DuiLib::PostMessage(box.Window(), msg::kBatchProgress, total, i + 1);
    const BatchItem outcome = item(i);
    if (outcome == BatchItem::kNoPhone) {
      PD_LOG_WARNING("batch job %d: no phone for item %d of %d", kind, i + 1, total);
      if (BoxStands(box)) DuiLib::PostMessage(box.Window(), msg::kBatchFinished, done, 0);
      return done;
    }
    if (outcome == BatchItem::kFailed) {
      // Counted before the progress that follows is posted, so the box
      // knows every failure by the time it finishes.
      PD_LOG_WARNING("batch job %d: item %d of %d failed", kind, i + 1, total);
      box.CountFailure();
    }
    ++done;
    if (!per_item) {
      if (!BoxStands(box)) return done;
      DuiLib::PostMessage(box.Window(), msg::kBatchProgress, total, done);
    }
  }
  if (per_item && BoxStands(box)) DuiLib::PostMessage(box.Window(), msg::kBatchFinished, total, 0);
  return done;
}

void RunBatchJob(DuiLib::HWND parent, int32_t kind, int total, std::function<BatchItem(int, DuiLib::HWND)> item) {
  struct Start {
    CMessageBoxDlg box;
    int32_t kind;
    int total;
    std::function<BatchItem(int, DuiLib::HWND)> item;
  };
  auto start = std::make_unique<Start>();
  start->kind = kind;
  start->total = total;
  start->item = std::move(item);
  start->box.SetJobKind(kind);
  start->box.SetInitCallback(start.get(), [](void* data) {
    auto* s = static_cast<Start*>(data);
    // The worker takes the job: its items and the step live in its closure.
    s->box.StartWorker([kind = s->kind, total = s->total, step = std::move(s->item)](const BatchJobControl& box) {
      RunBatch(box, kind, total, [&](int i) { return step(i, box.Window()); });
    });
  });
  if (!ShowMessageBoxDlg(&start->box, parent)) {
    PD_LOG_ERROR("batch job %d: the progress box could not be created", kind);
    return;
  }
  PD_LOG_INFO("batch job %d: %d items", kind, total);
  start->box.ShowModal();
}
