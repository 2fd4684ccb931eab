// CSearchMenu: the suggestion popup under the store search box (stub until
// the popup's drawing is built): keeps its rows, highlight and visibility,
// and has its own window of class "SearchWnd" (never shown yet), so what the
// main window posts on to it arrives: VK_UP/VK_DOWN key-downs and wheel turns
// move the highlight. Lives on the UI thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qenui/UIlib.h"

class CSearchMenu {
 public:
  CSearchMenu() = default;
  ~CSearchMenu() {
    if (DuiLib::IsWindow(window_.GetHWND())) DuiLib::DestroyWindow(window_.GetHWND());
  }
  CSearchMenu(const CSearchMenu&) = delete;
  CSearchMenu& operator=(const CSearchMenu&) = delete;

  void Create(DuiLib::HWND parent) {
    parent_ = parent;
    created_ = true;
    if (!window_.GetHWND()) window_.Create(parent, u"", 0, 0);
  }
  bool IsCreated() const { return created_; }
  DuiLib::HWND GetHWND() const { return window_.GetHWND(); }
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
  class Window : public DuiLib::CWindowWnd {
   public:
    explicit Window(CSearchMenu* menu) : menu_(menu) {}

   protected:
    DuiLib::LPCTSTR GetWindowClassName() const override { return u"SearchWnd"; }
    DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam) override {
      if (uMsg == DuiLib::WM_KEYDOWN && (wParam == DuiLib::VK_UP || wParam == DuiLib::VK_DOWN)) {
        menu_->MoveHighlight(wParam == DuiLib::VK_UP);
        return 0;
      }
      if (uMsg == DuiLib::WM_MOUSEWHEEL) {
        // A positive turn (away from the user) moves up.
        menu_->MoveHighlight(static_cast<int16_t>(DuiLib::HIWORD(wParam)) > 0);
        return 0;
      }
      return DuiLib::CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

   private:
    CSearchMenu* menu_;
  };

  DuiLib::HWND parent_ = 0;
  bool created_ = false;
  bool visible_ = false;
  DuiLib::RECT rc_;
  std::vector<std::u16string> items_;
  int highlight_ = -1;
  Window window_{this};
};
