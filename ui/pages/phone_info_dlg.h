// CPhoneInfoDlg: the phone home page (stub until the page is built).
#pragma once

#include "app/core/message_payloads.h"
#include "ui/pages/page_stub.h"

class CPhoneInfoDlg : public CPageStub {
 public:
  explicit CPhoneInfoDlg(DuiLib::CPaintManagerUI* pm)
      : CPageStub(pm, {{1228, 1229}, {1231, 1238}, {1240, 1240}}) {}

 protected:
  void Consume(uint32_t message, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam) override {
    if (message == msg::kScreenshotInMemory) FreeMessagePayload(message, wParam, lParam);
  }
};
