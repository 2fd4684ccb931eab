// CSearchMenu: the suggestion popup under the store search box (stub until
// the popup window is built): keeps its rows, highlight and visibility.
#pragma once

#include <string>
#include <vector>

#include "qenui/UIlib.h"

class CSearchMenu {
 public:
  void Create(DuiLib::HWND parent) { parent_ = parent; created_ = true; }
  bool IsCreated() const { return created_; }
  DuiLib::HWND GetHWND() const { return 0; }
  void Clear() { items_.clear(); highlight_ = -1; }
  void AddItem(const std::u16string& text) { items_.push_back(text); }
  void EndUpdate() {}
  void ShowAt(DuiLib::CControlUI* edit, long x, long y) {
    (void)edit;
    rc_ = DuiLib::MakeRect(x, y, x + 200, y + 25 * static_cast<long>(items_.size()));
    visible_ = true;
  }
  void Hide() { visible_ = false; }
  bool IsVisible() const { return visible_; }
  bool Contains(long x, long y) const { return visible_ && rc_.Contains(DuiLib::MakePoint(x, y)); }
  void MoveHighlight(bool up) {
    if (items_.empty()) return;
    int n = static_cast<int>(items_.size());
    if (up) highlight_ = highlight_ <= 0 ? n - 1 : highlight_ - 1;
    else highlight_ = highlight_ >= n - 1 ? 0 : highlight_ + 1;
  }
  std::u16string HighlightedText() const {
    return highlight_ >= 0 && highlight_ < static_cast<int>(items_.size()) ? items_[highlight_] : std::u16string();
  }
  const std::vector<std::u16string>& Items() const { return items_; }

 private:
  DuiLib::HWND parent_ = 0;
  bool created_ = false;
  bool visible_ = false;
  DuiLib::RECT rc_;
  std::vector<std::u16string> items_;
  int highlight_ = -1;
};
