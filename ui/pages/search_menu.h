// The search suggestion popups: CSearchMenu under the store search box (app
// names) and CContactSearchMenu under the contact search (contacts). The
// owning window fills a popup with items, shows it under its edit box and
// hears through a notification of its own paint manager which item the user
// picked: "searchitem_click" (wParam = the item's number, lParam = its key
// text, a const char16_t* valid during the notification), or
// "searchcontactitem_click" (wParam 0, lParam = the row's user data).
//
// One row is highlighted at a time (the list's selection); the arrow keys
// and the wheel move it one row per press, wrapping at both ends.
//
// Threading: UI thread only.
#pragma once

#include <string>
#include <vector>

#include "qenui/UIlib.h"

class CSearchMenu : public DuiLib::WindowImplBaseNew {
 public:
  static constexpr int kItemHeight = 25;

  CSearchMenu();
  ~CSearchMenu() override;
  CSearchMenu(const CSearchMenu&) = delete;
  CSearchMenu& operator=(const CSearchMenu&) = delete;

  // Creates the (hidden) popup window over `parent`.
  void Create(DuiLib::HWND parent);
  bool IsCreated() const { return m_hWnd != 0; }

  void AddItem(const std::u16string& text);  // key and display text alike
  void AddItem(const std::u16string& key, const std::u16string& text);
  // Adds a list row for every item (after the last AddItem).
  void ShowItems();
  void EndUpdate() { ShowItems(); }
  void Clear();
  // Shows the popup for `owner` with its top-left corner at the screen point;
  // its bottom never passes the bottom of the owner's window. Hidden when
  // there are no items.
  void Popup(DuiLib::CControlUI* owner, long x, long y);
  void Hide();
  bool IsVisible() const;
  void MoveHot(bool up);
  std::u16string GetHotText() const;
  // True when the screen point lies strictly inside the popup.
  bool ContainsPoint(long x, long y) const;
  void SetWidth(int width) { width_ = width; }  // 0 keeps the window's width

  const std::vector<std::u16string>& Items() const;

 protected:
  struct Item {
    int number;
    std::u16string key;
    std::u16string text;
  };

  explicit CSearchMenu(const char16_t* layout);
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"SearchWnd"; }
  void InitAfterCreate() override;
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam) override;
  void ItemClickNotify(DuiLib::TNotifyUI& msg) override;
  // Tells the owner about the picked row, then hides.
  virtual void PickItem(DuiLib::CControlUI* row);

  DuiLib::CControlUI* owner_ = nullptr;
  DuiLib::CListUI* list_ = nullptr;
  int width_ = 0;
  std::vector<Item> items_;

 private:
  mutable std::vector<std::u16string> texts_;  // Items()'s answer
};

class CContactSearchMenu : public CSearchMenu {
 public:
  CContactSearchMenu();
  DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

 protected:
  void PickItem(DuiLib::CControlUI* row) override;
};
