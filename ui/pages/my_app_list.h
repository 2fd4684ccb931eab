// CMyAppList: the apps page's list, one row per installed app, built from
// "wnd_xml\applist_item.xml". A row, its check box and its buttons carry
// the app key as user data (phone_pages::AppKeyText); the check box and the
// buttons hold their row in their tag.
//
// A row's operation tab shows page 0 the buttons, page 1 a status label
// ("升级中..." / "卸载中...", the box unchecked and disabled) or page 2 the
// install failure view.
//
// Threading: UI thread only.
#pragma once

#include <cstdint>

#include "app/data/app_record.h"
#include "qenui/UIlib.h"
#include "ui/controls/list_ui_ex.h"

class CMyAppList : public CListUIEx {
 public:
  static constexpr int kOperationButtons = 0;
  static constexpr int kOperationStatus = 1;
  static constexpr int kOperationFailure = 2;

  DuiLib::LPCTSTR GetClass() const override { return u"MyAppListUI"; }

  // Appends a filled row; false when it cannot be built or added.
  bool AddApp(const AppRecord* record);
  // Fills the row of the record's key again and sets its status from
  // GetAppStatus; false when no row has the key.
  bool UpdateApp(const AppRecord& record);
  void FillRow(DuiLib::CControlUI* row, const AppRecord& record);
  void ShowInstallFailure(uint32_t key, int code);
  void MarkUpdating(uint32_t key);
  // Status 10 or 13: the label on page 1, the box unchecked and disabled.
  // Any other status changes nothing.
  void SetRowStatus(DuiLib::CControlUI* row, int status);
  void SelectOperationPage(DuiLib::CControlUI* row, int page);
  // Page 0 on the row held in the sender's tag.
  void ResetRowOperation(DuiLib::CControlUI* sender);
  // The row status from the task manager, then the phone's queue.
  int GetAppStatus(uint32_t key);

  DuiLib::CControlUI* FindRow(uint32_t key) const;
  // The key a row carries; 0 for a row without a readable one.
  static uint32_t RowKey(DuiLib::CControlUI* row);
  // A named control inside a row, or null.
  static DuiLib::CControlUI* Sub(DuiLib::CControlUI* row, DuiLib::LPCTSTR name);

 private:
  DuiLib::CDialogBuilder m_builder;
  bool m_bParsed = false;
};
