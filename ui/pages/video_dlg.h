// CVideoDlg: the video page (stub until the page is built).
#pragma once

#include "ui/pages/page_stub.h"

class CVideoDlg : public CPageStub {
 public:
  explicit CVideoDlg(DuiLib::CPaintManagerUI* pm) : CPageStub(pm, {{1285, 1288}}) {}
};
