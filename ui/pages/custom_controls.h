// The custom controls that the main window's layout names by class (stubs
// until each control is built): each is the library control it extends,
// under its own class name.
#pragma once

#include "qenui/UIlib.h"
#include "ui/controls/button_state.h"
#include "ui/controls/list_groud.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/contact_list.h"
#include "ui/pages/sms_lists.h"
#include "ui/pages/my_app_list.h"

using DuiLib::CListGroudUI;

#define PD_STUB_CONTROL(Name, Base, ClassText)                                       \
  class Name : public Base {                                                          \
   public:                                                                            \
    DuiLib::LPCTSTR GetClass() const override { return ClassText; }                   \
  };

PD_STUB_CONTROL(CPictureList, DuiLib::CListUI, u"PictureListUI")
PD_STUB_CONTROL(CPictureSubList, DuiLib::CListUI, u"PictureSubListUI")
PD_STUB_CONTROL(CMusicList, DuiLib::CListUI, u"MusicListUI")
PD_STUB_CONTROL(CVideoList, DuiLib::CListUI, u"VideoListUI")

#undef PD_STUB_CONTROL
