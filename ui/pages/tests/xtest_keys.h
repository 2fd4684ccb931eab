// Keys and text sent through XTest to the page tests' windows, each press
// followed by a wait for what it caused, never by a fixed time:
//  - windows of this test process: a call returns once the process has
//    taken the input: the X server has processed it, the events it sent are
//    read, GTK's loop and the library's posted messages have run;
//  - windows of a program the test started: a call returns once the X
//    server has processed the input; the program reads its events in the
//    order they were sent, so no key overtakes another.
// A character the keyboard lacks is typed on a spare key mapped to it
// (XTestText); this process waits until GDK sees the new mapping, another
// process gets the mapping change ahead of the key.
#pragma once

#include <gdk/gdk.h>

#include <string>

#include "qenui/gtk/tests/xtest_input.h"
#include "ui/pages/tests/xtest_text.h"
#include "ui/tests/xvfb_windows_fixture.h"

namespace market_xvfb {

class XTestKeys {
 public:
  enum class Windows { kThisProcess, kAnotherProcess };
  XTestKeys(qenui_gtk_test::XTestInput& input, XTestText& text, Windows windows)
      : input_(input), text_(text), windows_(windows) {}

  void Key(const char* keysym) {
    input_.Tap(keysym);
    Settle();
  }
  // `keysym` pressed while `modifier` is held.
  void Chord(const char* modifier, const char* keysym) {
    input_.Key(modifier, true);
    input_.Tap(keysym);
    input_.Key(modifier, false);
    Settle();
  }
  void Type(const std::u16string& text) {
    text_.Type(
        text,
        [this](char32_t c) {
          if (windows_ == Windows::kThisProcess) ui_xvfb::PumpUntilKeymapMaps(text_.spare_key(), c);
        },
        [this] { Settle(); });
  }
  // Waits as after a key for whatever else was sent through `input` (a
  // pointer move, a button).
  void Settle() {
    input_.Sync();
    if (windows_ != Windows::kThisProcess) return;
    gdk_display_sync(gdk_display_get_default());
    ui_xvfb::PumpUntil([] { return !g_main_context_pending(nullptr); }, 2000);
  }

 private:
  qenui_gtk_test::XTestInput& input_;
  XTestText& text_;
  Windows windows_;
};

}  // namespace market_xvfb
