#include "qenui/gtk/GtkKeys.h"

#include <gdk/gdk.h>

namespace DuiLib {

UINT GdkKeyvalToVk(unsigned int kv) {
  if (kv >= GDK_KEY_a && kv <= GDK_KEY_z) return 'A' + (kv - GDK_KEY_a);
  if (kv >= GDK_KEY_A && kv <= GDK_KEY_Z) return 'A' + (kv - GDK_KEY_A);
  if (kv >= GDK_KEY_0 && kv <= GDK_KEY_9) return '0' + (kv - GDK_KEY_0);
  if (kv >= GDK_KEY_KP_0 && kv <= GDK_KEY_KP_9) return 0x60 + (kv - GDK_KEY_KP_0);
  if (kv >= GDK_KEY_F1 && kv <= GDK_KEY_F24) return 0x70 + (kv - GDK_KEY_F1);
  switch (kv) {
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: case GDK_KEY_KP_Tab: return VK_TAB;
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_ISO_Enter: return VK_RETURN;
    case GDK_KEY_Shift_L: case GDK_KEY_Shift_R: return VK_SHIFT;
    case GDK_KEY_Control_L: case GDK_KEY_Control_R: return VK_CONTROL;
    case GDK_KEY_Alt_L: case GDK_KEY_Alt_R: case GDK_KEY_Meta_L: case GDK_KEY_Meta_R: return VK_MENU;
    case GDK_KEY_Pause: return 0x13;
    case GDK_KEY_Caps_Lock: return 0x14;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_space: case GDK_KEY_KP_Space: return VK_SPACE;
    case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: return VK_PRIOR;
    case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: return VK_NEXT;
    case GDK_KEY_End: case GDK_KEY_KP_End: return VK_END;
    case GDK_KEY_Home: case GDK_KEY_KP_Home: return VK_HOME;
    case GDK_KEY_Left: case GDK_KEY_KP_Left: return VK_LEFT;
    case GDK_KEY_Up: case GDK_KEY_KP_Up: return VK_UP;
    case GDK_KEY_Right: case GDK_KEY_KP_Right: return VK_RIGHT;
    case GDK_KEY_Down: case GDK_KEY_KP_Down: return VK_DOWN;
    case GDK_KEY_Print: return 0x2C;
    case GDK_KEY_Insert: case GDK_KEY_KP_Insert: return 0x2D;
    case GDK_KEY_Delete: case GDK_KEY_KP_Delete: return VK_DELETE;
    case GDK_KEY_Super_L: return 0x5B;
    case GDK_KEY_Super_R: return 0x5C;
    case GDK_KEY_Menu: return 0x5D;
    case GDK_KEY_KP_Multiply: return 0x6A;
    case GDK_KEY_KP_Add: return 0x6B;
    case GDK_KEY_KP_Subtract: return 0x6D;
    case GDK_KEY_KP_Decimal: return 0x6E;
    case GDK_KEY_KP_Divide: return 0x6F;
    case GDK_KEY_Num_Lock: return 0x90;
    case GDK_KEY_Scroll_Lock: return 0x91;
    case GDK_KEY_semicolon: case GDK_KEY_colon: return 0xBA;
    case GDK_KEY_equal: case GDK_KEY_plus: return 0xBB;
    case GDK_KEY_comma: case GDK_KEY_less: return 0xBC;
    case GDK_KEY_minus: case GDK_KEY_underscore: return 0xBD;
    case GDK_KEY_period: case GDK_KEY_greater: return 0xBE;
    case GDK_KEY_slash: case GDK_KEY_question: return 0xBF;
    case GDK_KEY_grave: case GDK_KEY_asciitilde: return 0xC0;
    case GDK_KEY_bracketleft: case GDK_KEY_braceleft: return 0xDB;
    case GDK_KEY_backslash: case GDK_KEY_bar: return 0xDC;
    case GDK_KEY_bracketright: case GDK_KEY_braceright: return 0xDD;
    case GDK_KEY_apostrophe: case GDK_KEY_quotedbl: return 0xDE;
    default: return 0;
  }
}

WPARAM GdkStateToMouseKeys(unsigned int s) {
  WPARAM k = 0;
  if (s & GDK_BUTTON1_MASK) k |= MK_LBUTTON;
  if (s & GDK_BUTTON3_MASK) k |= MK_RBUTTON;
  if (s & GDK_SHIFT_MASK) k |= MK_SHIFT;
  if (s & GDK_CONTROL_MASK) k |= MK_CONTROL;
  return k;
}

}  // namespace DuiLib
