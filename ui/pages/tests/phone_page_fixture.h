// The main window headless over the program's own skin, with a phone of its
// own for the pages: a real CPhone whose managers talk to a stand-in agent
// on loopback (answers set per command) and post to the window through the
// UI library's queue.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/agent/socket_thread.h"
#include "app/data/phone.h"
#include "app/data/tests/scripted_agent.h"
#include "ui/controls/list_ui_ex.h"
#include "ui/frame/window_poster.h"
#include "ui/pages/page_phone.h"
#include "ui/tests/frame_fixture.h"

namespace page_test {

using namespace DuiLib;

class PhonePageTest : public ui_test::FrameTest {
 public:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ui_test::FrameTest::SetUp());
    InstallWindowPoster();
    phone = std::make_shared<CPhone>();
    SetPagePhoneSource([this] { return phone; });
    backend.connected = true;
  }
  void TearDown() override {
    SetPagePhoneSource(nullptr);
    phone.reset();
    ui_test::FrameTest::TearDown();
    UninstallWindowPoster();
  }

  // Runs the window's messages until `done` holds; false after `ms` real time.
  bool PumpUntil(const std::function<bool()>& done, int ms = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      PumpPendingMessages();
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // Selects a page option of the navigation.
  void SelectOption(const char16_t* name) {
    static_cast<COptionUI*>(PM().FindControl(name)->GetInterface(u"Option"))->Selected(true);
  }
  // Clicks as the library reports a click: the sender's notification.
  void Click(CControlUI* control) {
    ASSERT_NE(control, nullptr);
    PM().SendNotify(control, DUI_MSGTYPE_CLICK);
  }
  void Click(const char16_t* name) { Click(PM().FindControl(name)); }
  // A check box the user toggles.
  void Toggle(CControlUI* control) {
    auto* box = control ? static_cast<CCheckBoxUI*>(control->GetInterface(u"CheckBox")) : nullptr;
    ASSERT_NE(box, nullptr);
    box->SetCheck(!box->GetCheck(), false);
    PM().SendNotify(box, DUI_MSGTYPE_CLICK);
  }
  bool Enabled(const char16_t* name) { return PM().FindControl(name)->IsEnabled(); }
  // Runs the window's turns (its timers on the virtual clock) until the
  // list has every row of its fill.
  void RunFill(CListUIEx* list) {
    for (int turn = 0; list->IsFilling() && turn < 10000; ++turn) host->Advance(1);
    PumpPendingMessages();
    ASSERT_FALSE(list->IsFilling());
  }

  data_test::ScriptedAgent agent;
  std::shared_ptr<CPhone> phone;
};

}  // namespace page_test
