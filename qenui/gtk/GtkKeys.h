// Key and mouse translation between GDK and the library's Win32 numbers.
// Pure functions: no display needed.
#pragma once

#include "qenui/core/UIDefine.h"

namespace DuiLib {

// The Win32 virtual key of a GDK key value (0 = none): letters 'A'..'Z',
// digits '0'..'9', Return 13, Escape 27, arrows 0x25..0x28, F1.. 0x70..
UINT GdkKeyvalToVk(unsigned int keyval);
// The MK_* bits of mouse messages from a GDK modifier mask.
WPARAM GdkStateToMouseKeys(unsigned int gdkState);

}  // namespace DuiLib
