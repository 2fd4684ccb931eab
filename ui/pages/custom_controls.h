// The custom controls that the main window's layout names by class (stubs
// until each control is built): each is the library control it extends,
// under its own class name.
#pragma once

#include "qenui/UIlib.h"
#include "ui/controls/button_state.h"
#include "ui/controls/list_groud.h"
#include "ui/pages/media_lists.h"
#include "ui/pages/picture_lists.h"

using DuiLib::CListGroudUI;

#define PD_STUB_CONTROL(Name, Base, ClassText)                                       \
  class Name : public Base {                                                          \
   public:                                                                            \
    DuiLib::LPCTSTR GetClass() const override { return ClassText; }                   \
  };

PD_STUB_CONTROL(CMyAppList, DuiLib::CListUI, u"MyAppListUI")
PD_STUB_CONTROL(CContactList, DuiLib::CListUI, u"ContactListUI")
PD_STUB_CONTROL(CConstomNewList, DuiLib::CListUI, u"ConstomNewListUI")
PD_STUB_CONTROL(CConstomEditList, DuiLib::CListUI, u"ConstomEditListUI")
PD_STUB_CONTROL(CConstomInfoList, DuiLib::CListUI, u"ConstomInfoListUI")
PD_STUB_CONTROL(CSmsList, DuiLib::CListUI, u"SmsListUI")
PD_STUB_CONTROL(CSmsDetaiList, DuiLib::CListUI, u"SmsDetailListUI")

#undef PD_STUB_CONTROL
