// CPhoneInfoDlg: the phone's home page. It shows the phone's name, the six
// counts (also into the count labels of the other pages), the storage bars
// with their free-space texts and the latest screenshot, which the user can
// refresh and save as a PNG file. It follows the managers through the
// window messages 1228, 1229, 1231-1238 and 1240 that the main window hands
// it; a screenshot message (1238) carries a ScreenBitmap, which this page
// owns and frees whatever it does with it.
//
// It keeps the page controllers' common shape (CPageController) and reaches the
// phone side only through PhonePagesSide().
//
// Threading: UI thread only.
#pragma once

#include "app/core/message_payloads.h"
#include "ui/pages/page_controller.h"
#include "ui/pages/phone_pages_side.h"

class CPhoneInfoDlg : public CPageController {
 public:
  explicit CPhoneInfoDlg(DuiLib::CPaintManagerUI* pm)
      : CPageController(pm, {{1228, 1229}, {1231, 1238}, {1240, 1240}}) {}

  void Init() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam,
                                bool& bHandled) override;
  void Clear() override;

  void ShowCount(PhoneCountCategory category);
  void ShowStorage();
  void SaveScreenshot();

 private:
  void OnEnvironment();
  void OnModelName();
  void ShowScreenshot(ScreenBitmap&& bitmap);

  DuiLib::CControlUI* phone_name_ = nullptr;
  DuiLib::CControlUI* home_counts_[6] = {};  // by PhoneCountCategory
  DuiLib::CControlUI* page_counts_[6] = {};
  DuiLib::CProgressUI* innersize_progress_ = nullptr;
  DuiLib::CProgressUI* sdcard_progress_ = nullptr;
  DuiLib::CControlUI* inner_size_ = nullptr;
  DuiLib::CControlUI* sdcard_size_ = nullptr;
  DuiLib::CPngImageUI* phone_shotcut_ = nullptr;
};
