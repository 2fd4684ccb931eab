#include "ui/pages/sms_lists.h"

#include <time.h>

#include <algorithm>

#include "ui/pages/contact_fields.h"
#include "ui/pages/page_phone.h"

using namespace DuiLib;

namespace {

constexpr const char16_t* kThreadRowLayout = u"wnd_xml\\smslist_item.xml";
constexpr const char16_t* kMessageRowLayout = u"wnd_xml\\smsdetails_item.xml";
constexpr DWORD kOwnSenderColor = 0xFF0084D2;
constexpr const char16_t* kReceivedBubble = u"file='png/msg_normbk.png' source='0,0,329,36' corner='10,10,10,10'";
constexpr const char16_t* kSentBubble = u"file='png/msg_hotbk.png' source='0,0,329,36' corner='10,10,10,10'";
constexpr const char16_t* kBubbleIndent = u"   ";

std::u16string LocalTime(int64_t seconds, const char* format) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return std::u16string();
  char text[80];
  const size_t n = strftime(text, sizeof text, format, &local);
  return std::u16string(text, text + n);
}

void SetPartText(CControlUI* row, LPCTSTR name, const std::u16string& text) {
  if (CControlUI* c = RowPart(row, name)) c->SetText(text.c_str());
}

}  // namespace

SmsBubble SmsBubbleSize(int text_width, int font_height) {
  int width = std::max(text_width, 0);
  if (width < kBubbleTextWidth) width = std::min(width + 30, kBubbleTextWidth);
  const int lines = std::max((width + kBubbleTextWidth - 1) / kBubbleTextWidth, 1);
  SmsBubble bubble;
  bubble.lines = lines;
  bubble.height = std::max(lines * font_height + 10, kBubbleMinHeight);
  bubble.width = std::min(width, kBubbleMaxWidth);
  return bubble;
}

std::u16string SmsThreadTitle(const std::u16string& name, int count, bool read) {
  CDuiString title;
  title.Format(u"<f %d>%s</f>  <f 1>{c #666666}(%d){/c}</f>", read ? 10 : 3, EscapeMarkup(name.c_str()).GetData(),
               count);
  return title.str();
}

std::u16string SmsSenderText(int type, const std::u16string& address) {
  return type == kSmsReceivedType ? address : u"我";
}

std::u16string SmsDateText(int64_t seconds) { return LocalTime(seconds, "%Y/%m/%d"); }
std::u16string SmsTimeText(int64_t seconds) { return LocalTime(seconds, "%Y/%m/%d %H:%M:%S"); }

// ---------------- conversations ----------------

CSmsList::~CSmsList() = default;

bool CSmsList::AddThread(const SmsThreadRecord& thread) {
  CControlUI* row = AddRowFromLayout(builder_, parsed_, kThreadRowLayout);
  if (!row) return false;
  FillRow(row, thread);
  return true;
}

bool CSmsList::UpdateThread(const SmsThreadRecord& thread) {
  CControlUI* row = FindRowByUserData(DecimalText(thread.thread_id).c_str());
  if (!row) return false;
  FillRow(row, thread);
  return true;
}

void CSmsList::FillRow(CControlUI* row, const SmsThreadRecord& thread) {
  const std::u16string id = DecimalText(thread.thread_id);
  const bool read = thread.last_read == 1;
  row->SetUserData(id.c_str());
  if (CControlUI* box = RowPart(row, u"sms_checkbox")) {
    box->SetUserData(id.c_str());
    box->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  if (CControlUI* name = RowPart(row, u"contact_name")) {
    if (auto* label = static_cast<CLabelUI*>(name->GetInterface(u"Label"))) label->SetShowHtml(true);
    name->SetText(SmsThreadTitle(thread.address, thread.message_count, read).c_str());
  }
  if (CControlUI* content = RowPart(row, u"sms_content")) {
    if (auto* label = static_cast<CLabelUI*>(content->GetInterface(u"Label"))) {
      label->SetShowHtml(false);
      label->SetFont(read ? 1 : 2);
    }
    content->SetText(thread.snippet.c_str());
  }
  SetPartText(row, u"sms_date", SmsDateText(thread.last_date));
}

// ---------------- messages ----------------

CSmsDetaiList::~CSmsDetaiList() = default;

int32_t CSmsDetaiList::ShownThread() { return static_cast<int32_t>(ParseInt(GetUserData())); }

bool CSmsDetaiList::AddMessage(const SmsRecord& message) {
  if (message.type == kSmsDraftType) return false;
  CControlUI* row = AddRowFromLayout(builder_, parsed_, kMessageRowLayout);
  if (!row) return false;
  const bool received = message.type == kSmsReceivedType;
  row->SetUserData(DecimalText(message.id).c_str());
  if (CControlUI* addr = RowPart(row, u"sms_addr")) {
    addr->SetText(SmsSenderText(message.type, message.address).c_str());
    if (!received)
      if (auto* label = static_cast<CLabelUI*>(addr->GetInterface(u"Label"))) label->SetTextColor(kOwnSenderColor);
  }
  if (CControlUI* del = RowPart(row, u"sms_del_msg")) del->SetUserData(DecimalText(message.id).c_str());
  SetPartText(row, u"sms_date", SmsTimeText(message.date));
  // The sender's own messages keep to the right.
  if (CControlUI* pad = RowPart(row, u"sms_own_pad")) pad->SetVisible(!received);
  if (CControlUI* body = RowPart(row, u"sms_body")) {
    const std::u16string text = kBubbleIndent + message.body;
    body->SetText(text.c_str());
    auto* label = static_cast<CLabelUI*>(body->GetInterface(u"Label"));
    const int font = label ? label->GetFont() : -1;
    const int text_width = m_pManager ? m_pManager->MeasureText(text, font).cx : 0;
    const int font_height = m_pManager ? m_pManager->MeasureText(u"x", font).cy : 16;
    const SmsBubble bubble = SmsBubbleSize(text_width, font_height);
    body->SetFixedWidth(bubble.width);
    body->SetFixedHeight(bubble.height);
    body->SetBkImage(received ? kReceivedBubble : kSentBubble);
    row->SetFixedHeight(bubble.height + kBubbleRowExtra);
  }
  return true;
}
