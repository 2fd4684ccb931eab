// What the music and the video pages share: a list of the phone's files of
// one kind with a select-all box, import through the file chooser, export
// of the ticked files into a chosen folder, deletion of the ticked files
// after a question the user can turn off, refresh, and the loading and
// empty views. Each page gives its names, texts and numbers (MediaPageSpec)
// and the steps that touch its own list and records.
//
// The ids and paths of a batch are collected on the UI thread before the
// batch box opens; the box's worker walks them (batch_run.h) and reaches
// the phone through the media seam (media_phone.h), item by item.
//
// Threading: UI thread only, except the batch steps, which run on the box's
// worker and touch nothing of the page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/controls/list_ui_ex.h"
#include "ui/pages/batch_item.h"
#include "ui/pages/page_controller.h"

struct FtpTransferContext;

struct MediaPageSpec {
  // Controls.
  const char16_t* list;
  const char16_t* row_box;   // the check box inside each row
  const char16_t* all_box;   // select all
  const char16_t* add_btn;
  const char16_t* del_btn;
  const char16_t* export_btn;
  const char16_t* refresh_btn;
  const char16_t* load_tab;  // 0 the list, 1 loading, 2 empty
  const char16_t* loading;
  // Messages: list loaded, one added (id), one removed (id), busy flag.
  uint32_t loaded_msg, added_msg, removed_msg, busy_msg;
  // Statistics of the clicks.
  int stat_all, stat_add, stat_export, stat_del, stat_refresh;
  // Import.
  const char16_t* chooser_title;
  const char16_t* filter_name;
  const char16_t* filter_pattern;
  // Export and delete.
  const char16_t* folder_title;
  const char16_t* delete_question;  // with the count
  int reminder_id;                  // the message box's do-not-ask-again setting
  // Batch kinds.
  int32_t add_kind, export_kind, delete_kind;
  // The delete question is asked while this setting is on.
  bool (*tips_on)();
  // Batch steps, on the box's worker (RunBatchItem). An export goes through
  // its batch's names, so two phone files of one name do not overwrite
  // each other.
  BatchItem (*delete_one)(int32_t id);
  BatchItem (*export_one)(const std::u16string& folder, int32_t id, FtpTransferContext* context, ExportedNames* names);
  BatchItem (*upload_one)(const std::u16string& path, FtpTransferContext* context);
};

class CMediaPage : public CPageController {
 public:
  CMediaPage(DuiLib::CPaintManagerUI* pm, const MediaPageSpec& spec);

  void Init() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void Clear() override;
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                bool& bHandled) override;

  CListUIEx* List() const { return list_; }

 protected:
  // The page's own records and list.
  virtual void Refresh() = 0;
  virtual void AddAllRows() = 0;            // every record of the phone's list, at the end
  virtual void InsertRow(int32_t id) = 0;   // the record of `id` at the top

 private:
  void Fill();
  void OnRemoved(int32_t id);
  void OnBusy(bool busy);
  void OnAllBox();
  void OnRowBox(DuiLib::CControlUI* box);
  void EnableActions(bool on);
  void ShowView();
  std::vector<int32_t> TickedIds() const;
  void Import();
  void Export();
  void Delete();

  const MediaPageSpec& spec_;
  CListUIEx* list_ = nullptr;
  DuiLib::CCheckBoxUI* all_ = nullptr;
  DuiLib::CControlUI* add_ = nullptr;
  DuiLib::CControlUI* del_ = nullptr;
  DuiLib::CControlUI* export_ = nullptr;
  DuiLib::CControlUI* refresh_ = nullptr;
  DuiLib::CTabLayoutUI* load_tab_ = nullptr;
  DuiLib::CAnimationUI* loading_ = nullptr;
};

// The main window's handle, the owner of the pages' dialogs.
DuiLib::HWND PagesOwnerWindow();

// A control of the main window by name, as the interface `iface`; null (and
// a warning naming it) when the layout lacks it.
DuiLib::CControlUI* FindPageControl(DuiLib::CPaintManagerUI* pm, const char16_t* name);
template <typename T>
T* FindPageControl(DuiLib::CPaintManagerUI* pm, const char16_t* name, const char16_t* iface) {
  DuiLib::CControlUI* c = FindPageControl(pm, name);
  return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
}
// Enables or disables a control that may be missing.
inline void EnableControl(DuiLib::CControlUI* c, bool on) {
  if (c) c->SetEnabled(on);
}
