// The message box: buttons by kind, the do-not-remind tick by reminder id,
// the answer, and the settings written for each way of leaving it.
#include <functional>

#include "ui/message_box/message_wnd.h"
#include "ui/tests/frame_fixture.h"

namespace ui_test {
namespace {

enum Answer { kOk, kCancel, kClose, kEscape };

struct Setting {
  const char* name;
  std::function<bool()> get;
};

Setting SettingOf(int reminder_id) {
  CConfigMgr* c = CConfigMgr::Instance();
  switch (reminder_id) {
    case 1: return {"sms_tips", [c] { return c->GetSmsTips(); }};
    case 2: return {"contact_tips", [c] { return c->GetContactTips(); }};
    case 3: return {"music_tips", [c] { return c->GetMusicTips(); }};
    case 4: return {"video_tips", [c] { return c->GetVideoTips(); }};
    case 5: return {"picture_tips", [c] { return c->GetPictureTips(); }};
    case 6: return {"auto_install_tips", [c] { return c->GetAutoInstallTips(); }};
    case 7: return {"delofftask_tips", [c] { return c->GetDelOffTaskTips(); }};
    default: return {"none", [] { return true; }};
  }
}

class MessageBoxTest : public TempUserTest {};

TEST_F(MessageBoxTest, AnswersAndReminderSettings) {
  struct Case {
    int kind;
    int reminder;
    Answer answer;
    bool untick;
    int result;
    int setting_after;        // the reminder's setting afterwards: 0, 1, or -1 unchanged
    bool auto_install_after;  // auto_install_flag afterwards
  } cases[] = {
      {0x21, 2, kOk, false, 1, 0, true},        // ticked OK: the reminder goes off
      {0x21, 2, kOk, true, 1, 1, true},         // unticked OK: it stays on
      {0x21, 3, kCancel, false, 2, -1, true},   // cancel writes nothing
      {0x21, 1, kClose, false, 2, -1, true},
      {0x21, 4, kEscape, false, 2, -1, true},
      {0x21, 5, kOk, false, 1, 0, true},
      {0x21, 7, kOk, false, 1, 0, true},
      {0x21, 6, kOk, false, 1, 0, true},
      {0x21, 6, kCancel, false, 2, -1, false},  // cancel with the tick: no more automatic installs
      {0x21, 6, kCancel, true, 2, -1, true},
      {0x40, 0, kOk, false, 1, -1, true},       // no reminder: nothing written
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "reminder " << c.reminder << " answer " << c.answer << " untick " << c.untick);
    CConfigMgr::Instance()->ResetSettings();
    Setting s = SettingOf(c.reminder);
    const bool before = s.get();
    bool check_visible = false, cancel_visible = false;
    host->PushModalScript([&](HWND h) {
      CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(h);
      ASSERT_NE(pm, nullptr);
      check_visible = pm->FindControl(u"check_notips")->IsVisible();
      cancel_visible = pm->FindControl(u"cancelbtn")->IsVisible();
      EXPECT_EQ(pm->FindControl(u"msglab")->GetText(), u"删除吗？");
      EXPECT_EQ(pm->FindControl(u"titlelabel")->GetText(), u" 提示");
      if (c.untick) ClickControl(*pm, u"check_notips");
      switch (c.answer) {
        case kOk: ClickControl(*pm, u"okbtn"); break;
        case kCancel: ClickControl(*pm, u"cancelbtn"); break;
        case kClose: ClickControl(*pm, u"closebtn"); break;
        case kEscape: PressKey(h, VK_ESCAPE); break;
      }
    });
    int result = ShowMessageBox(0, u"删除吗？", nullptr, c.kind, 0, c.reminder);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(check_visible, c.reminder != 0);
    EXPECT_EQ(cancel_visible, (c.kind & 0x0F) != 0);
    EXPECT_EQ(s.get(), c.setting_after < 0 ? before : c.setting_after == 1) << s.name;
    EXPECT_EQ(CConfigMgr::Instance()->GetAutoInstallFlag(), c.auto_install_after);
  }
}

TEST_F(MessageBoxTest, OkOnlyKindAndOwnButtonTexts) {
  bool cancel_visible = true;
  std::u16string ok_text;
  host->PushModalScript([&](HWND h) {
    CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(h);
    cancel_visible = pm->FindControl(u"cancelbtn")->IsVisible();
    ok_text = pm->FindControl(u"okbtn")->GetText().str();
    EXPECT_EQ(pm->FindControl(u"okbtn")->GetFixedWidth(), 90);
    EXPECT_EQ(pm->FindControl(u"titlelabel")->GetText(), u"标题");
    ClickControl(*pm, u"okbtn");
  });
  EXPECT_EQ(ShowMessageBoxEx(0, u"好了", u"标题", u"知道了", nullptr, 0x40, 0, 0), 1);
  EXPECT_FALSE(cancel_visible);
  EXPECT_EQ(ok_text, u"知道了");
}

}  // namespace
}  // namespace ui_test
