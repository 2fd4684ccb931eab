// The walk every batch job of the media pages makes over its items, on the
// worker thread of the batch progress box (CMessageBoxDlg).
//
// Before each item the walk checks that the box still stands (its window
// exists and it has not asked its worker to stop); a closed box ends the
// walk before the next item. Jobs whose box shows each transfer (the kinds
// with a per-item text: exporting and adding videos, adding music) report
// "item i of n" (1290) before the item and the end (1291) after the last;
// the other kinds report the number done (1290) after each item, and the
// box finishes itself when the count is complete.
//
// The item step is handed the item's index and answers what became of it.
// An item that failed (its transfer or request did not work) is counted
// with the box (BatchJobControl::CountFailure) and the walk goes on: the
// bar still moves per item handled, and the result names only the items
// that succeeded and how many failed. An item that could not run at all
// (no phone any more) ends the walk; the box then shows the result with
// the number handled, so it does not wait for items that will never come.
//
// Threading: runs on the box's worker; it only posts to the box's window.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/pages/batch_item.h"
#include "ui/task_windows/message_box_dlg.h"

// Whether the box of a job of `kind` shows each transfer on its bar.
bool IsPerItemJob(int32_t kind);

// Runs `item` for items 0 .. total-1 as above; returns how many ran.
int RunBatch(const BatchJobControl& box, int32_t kind, int total, const std::function<BatchItem(int)>& item);

// Opens the batch box of `kind` over `parent`, runs the walk of `total`
// items on its worker (the worker owns `item` and whatever it holds) and
// returns when the box has closed, its worker joined. UI thread.
// `item` gets the index and the box's window (for transfer progress).
void RunBatchJob(DuiLib::HWND parent, int32_t kind, int total,
                 std::function<BatchItem(int, DuiLib::HWND)> item);
