// The main window's small side windows: the USB-debugging help, the
// connection-lost window, the driver progress window and the download
// animation. Each is created on first use with the main window as parent.
#pragma once

#include "ui/small_windows/adb_tips_wnd.h"
#include "ui/small_windows/down_gif_wnd.h"
#include "ui/small_windows/drv_progress_wnd.h"
#include "ui/small_windows/offline_tips_wnd.h"
