// The two lists of the SMS page and what their rows show.
//
//   CSmsList       conversations ("wnd_xml\smslist_item.xml", rows of 62 px):
//                  "contact_name" (markup: the name, then the message count
//                  in grey; bold while the conversation has unread
//                  messages), "sms_content" (the newest text), "sms_date",
//                  check box "sms_checkbox"; user data = conversation id.
//   CSmsDetaiList  the messages of one conversation as bubbles
//                  ("wnd_xml\smsdetails_item.xml"): "sms_addr" (the sender,
//                  "我" for the user's own), "sms_date", "sms_body" (a
//                  read-only edit sized to its text), delete button
//                  "sms_del_msg"; user data = message id; the list's own
//                  user data = the conversation it shows.
//
// Text from the phone goes into markup only escaped; the bubble and the
// preview are plain text.
//
// Threading: UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/data/sms_record.h"
#include "ui/controls/list_ui_ex.h"

constexpr int kSmsReceivedType = 1;
constexpr int kSmsDraftType = 3;

// Bubble of one message: `text_width` is the width of its text in the
// bubble's font, `font_height` that font's line height.
struct SmsBubble {
  int width;
  int height;
  int lines;
};
constexpr int kBubbleTextWidth = 319;
constexpr int kBubbleMaxWidth = 329;
constexpr int kBubbleMinHeight = 27;
constexpr int kBubbleRowExtra = 54;  // the row around the bubble
SmsBubble SmsBubbleSize(int text_width, int font_height);

// "<f n>name</f>  <f 1>{c #666666}(count){/c}</f>": font 10 read, 3 unread;
// the name escaped.
std::u16string SmsThreadTitle(const std::u16string& name, int count, bool read);
// The sender line of a message: the address for a received one, else "我".
std::u16string SmsSenderText(int type, const std::u16string& address);
// Local time of seconds since 1970: "%Y/%m/%d" and "%Y/%m/%d %H:%M:%S".
std::u16string SmsDateText(int64_t seconds);
std::u16string SmsTimeText(int64_t seconds);

class CSmsList : public CListUIEx {
 public:
  ~CSmsList() override;
  DuiLib::LPCTSTR GetClass() const override { return u"SmsListUI"; }
  bool AddThread(const SmsThreadRecord& thread);
  // Fills the conversation's row again; false when it has none.
  bool UpdateThread(const SmsThreadRecord& thread);
  // Fills `row` (a row of this list) with the conversation.
  void FillRow(DuiLib::CControlUI* row, const SmsThreadRecord& thread);

 private:

  DuiLib::CDialogBuilder builder_;
  bool parsed_ = false;
};

class CSmsDetaiList : public CListUIEx {
 public:
  ~CSmsDetaiList() override;
  DuiLib::LPCTSTR GetClass() const override { return u"SmsDetailListUI"; }
  // Drafts are not shown (false).
  bool AddMessage(const SmsRecord& message);
  // The conversation shown (the list's user data), 0 for none.
  int32_t ShownThread();

 private:
  DuiLib::CDialogBuilder builder_;
  bool parsed_ = false;
};
