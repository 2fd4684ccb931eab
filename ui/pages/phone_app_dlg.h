// CPhoneAppDlg: the apps page (stub until the page is built).
#pragma once

#include "ui/pages/page_stub.h"

class CPhoneAppDlg : public CPageStub {
 public:
  explicit CPhoneAppDlg(DuiLib::CPaintManagerUI* pm) : CPageStub(pm, {{1241, 1251}, {1253, 1253}}) {}
};
