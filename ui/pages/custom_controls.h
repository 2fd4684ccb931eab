// The custom controls that the main window's layout names by class: each
// is the library control it extends, under its own class name.
#pragma once

#include "qenui/UIlib.h"
#include "ui/controls/button_state.h"
#include "ui/controls/list_groud.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/contact_list.h"
#include "ui/pages/media_lists.h"
#include "ui/pages/my_app_list.h"
#include "ui/pages/picture_lists.h"
#include "ui/pages/sms_lists.h"

using DuiLib::CListGroudUI;
