#include "ui/pages/contact_list.h"

#include "foundation/base/log.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/page_phone.h"

using namespace DuiLib;

namespace {

constexpr const char16_t* kRowLayout = u"wnd_xml\\contactlist_item.xml";

}  // namespace

std::u16string JoinPhoneNumbers(const ContactRecord& contact) {
  std::u16string joined;
  for (const ContactFieldEntry& phone : contact.phones) {
    if (!joined.empty()) joined += u", ";
    joined += phone.value;
  }
  return joined;
}

int FirstRowAtTop(const std::vector<RECT>& rows, long top) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].top < top + 1 && rows[i].bottom - 1 > top) return static_cast<int>(i);
  return -1;
}

bool CContactList::AddContact(const ContactRecord& contact, int position) {
  CControlUI* row = AddRowFromLayout(builder_, parsed_, kRowLayout, position);
  if (!row) return false;
  Fill(row, contact);
  return true;
}

bool CContactList::UpdateContact(const ContactRecord& contact) {
  CControlUI* row = FindRowByUserData(DecimalText(contact.id).c_str());
  if (!row) return false;
  Fill(row, contact);
  return true;
}

void CContactList::Fill(CControlUI* row, const ContactRecord& contact) {
  const std::u16string id = DecimalText(contact.id);
  row->SetUserData(id.c_str());
  row->SetText(contact.initial.c_str());
  if (CControlUI* box = RowPart(row, u"contact_checkbox")) {
    box->SetUserData(id.c_str());
    box->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  if (CControlUI* logo = RowPart(row, u"contact_logo")) logo->SetTag(reinterpret_cast<UINT_PTR>(row));
  if (CControlUI* name = RowPart(row, u"contact_name")) name->SetText(contact.name.c_str());
  if (CControlUI* phones = RowPart(row, u"phone_number")) phones->SetText(JoinPhoneNumbers(contact).c_str());
}

void CContactList::DoScroll() {
  if (m_pManager) m_pManager->KillTimer(this, kLetterTimer);
  if (!letter_) return;
  letter_->SetVisible(true);
  const long top = GetPos().top;
  std::vector<RECT> rows;
  for (int i = 0; i < GetCount(); ++i) rows.push_back(GetItemAt(i)->GetPos());
  const int index = FirstRowAtTop(rows, top);
  if (index >= 0) {
    PD_LOG_TRACE("%d", index);
    const CDuiString letter = GetItemAt(index)->GetText();
    if (!letter.IsEmpty()) letter_->SetText(letter);
  }
  PD_LOG_TRACE("ContactList DoScroll");
  if (m_pManager) m_pManager->SetTimer(this, kLetterTimer, kLetterElapse);
}

void CContactList::DoEvent(TEventUI& event) {
  CListUIEx::DoEvent(event);
  if (event.Type == UIEVENT_TIMER && event.wParam == kLetterTimer) {
    if (m_pManager) m_pManager->KillTimer(this, kLetterTimer);
    if (letter_) letter_->SetVisible(false);
  }
}
