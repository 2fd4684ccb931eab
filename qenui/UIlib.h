// The UI library (namespace DuiLib): include this one header.
#pragma once

#include "qenui/control/UIControls.h"
#include "qenui/control/UIList.h"
#include "qenui/control/UIWebBrowser.h"
#include "qenui/core/UIContainer.h"
#include "qenui/core/UIControl.h"
#include "qenui/core/UIDefine.h"
#include "qenui/core/UIDlgBuilder.h"
#include "qenui/core/UIManager.h"
#include "qenui/core/UIString.h"
#include "qenui/core/UIText.h"
#include "qenui/window/UIHost.h"
#include "qenui/window/UIWindow.h"
#include "qenui/window/WindowImplBase.h"
