#include "ui/pages/contact_fields.h"
#include "ui/pages/page_phone.h"

#include <algorithm>

using namespace DuiLib;

namespace {

constexpr const char16_t* kEditRowLayout = u"wnd_xml\\constomedit_item.xml";
constexpr const char16_t* kInfoRowLayout = u"wnd_xml\\constominfo_item.xml";
// The combo's text for an entry whose own label is empty and whose type the
// table does not know.
constexpr const char16_t* kCustomLabel = u"自定义";

const std::vector<std::u16string> kLabels[kFieldGroupCount] = {
    {u"家庭电话", u"移动电话", u"工作电话", u"工作传真", u"家庭传真", u"传呼机", u"其他电话", u"回拨电话", u"车载电话",
     u"工作总机", u"ISDN", u"总机", u"其他传真", u"无线装置", u"电报", u"TTY TDD", u"工作移动电话", u"工作传呼机",
     u"助理", u"彩信"},
    {u"家庭邮箱", u"工作邮箱", u"其他邮箱"},
    {u"AIM", u"MSN", u"Yahoo", u"Skype", u"QQ", u"Gtalk", u"ICQ", u"Jabber", u"NetMeeting"},
    {u"家庭地址", u"工作地址", u"其他地址"},
};

bool InTable(int group, int type) { return type >= 1 && type <= static_cast<int>(FieldLabels(group).size()); }

CComboUI* RowCombo(CControlUI* row) {
  CControlUI* c = RowPart(row, u"constomcbx");
  return c ? static_cast<CComboUI*>(c->GetInterface(u"Combo")) : nullptr;
}

}  // namespace

const std::vector<std::u16string>& FieldLabels(int group) {
  static const std::vector<std::u16string> kNone;
  return group >= 0 && group < kFieldGroupCount ? kLabels[group] : kNone;
}

std::u16string FieldTableLabel(int group, int type) {
  return InTable(group, type) ? FieldLabels(group)[static_cast<size_t>(type - 1)] : std::u16string();
}

int FieldKind(int group, const ContactFieldEntry& entry) {
  return group == kFieldMessenger ? entry.protocol + 1 : entry.type;
}

const std::u16string& FieldOwnLabel(int group, const ContactFieldEntry& entry) {
  return group == kFieldMessenger ? entry.custom_protocol : entry.label;
}

std::u16string FieldInfoName(int group, const ContactFieldEntry& entry) {
  std::u16string name = FieldTableLabel(group, FieldKind(group, entry));
  if (name.empty()) name = FieldOwnLabel(group, entry);
  return name.empty() ? name : name + u":";
}

int FieldListHeight(int rows) { return std::max(rows * kFieldRowHeight, kFieldListMinHeight); }

FieldChoice FieldChoiceOf(int group, const ContactFieldEntry* entry, int new_type) {
  FieldChoice choice;
  choice.items = FieldLabels(group);
  const int kind = entry ? FieldKind(group, *entry) : new_type;
  if (InTable(group, kind)) {
    choice.selected = kind - 1;
  } else if (entry) {
    const std::u16string& own = FieldOwnLabel(group, *entry);
    choice.items.push_back(own.empty() ? kCustomLabel : own);
    choice.selected = static_cast<int>(choice.items.size()) - 1;
  }
  return choice;
}

ContactFieldEntry FieldEntryFromRow(int group, const ContactFieldEntry* original, int first_choice, int choice,
                                    const std::u16string& value, bool keep_id) {
  ContactFieldEntry entry;
  if (original) {
    entry = *original;
  } else if (group == kFieldMessenger) {
    entry.ClearMessenger();
  }
  const bool chosen = !original || choice != first_choice;
  if (chosen && choice >= 0 && choice < static_cast<int>(FieldLabels(group).size())) {
    if (group == kFieldMessenger) {
      entry.protocol = choice;
      entry.custom_protocol.clear();
    } else {
      entry.type = choice + 1;
      entry.label.clear();
    }
  }
  entry.value = value;
  entry.status = kEntryUnchanged;
  if (!keep_id) entry.row_id = 0;
  return entry;
}

void AddFieldToRecord(ContactRecord& record, int group, const ContactFieldEntry& entry) {
  switch (group) {
    case kFieldPhone: record.phones.push_back(entry); break;
    case kFieldEmail: record.emails.push_back(entry); break;
    case kFieldMessenger: record.ims.push_back(entry); break;
    case kFieldPostal: record.postals.push_back(entry); break;
    default: break;
  }
}

CControlUI* RowPart(CControlUI* row, LPCTSTR name) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  return c ? c->FindSubControl(name) : nullptr;
}

// ---------------- form lists ----------------

CConstomFormList::~CConstomFormList() = default;

bool CConstomFormList::AddRow(const ContactFieldEntry* entry, int group, int new_type, const std::u16string& user_data) {
  CControlUI* row = AddRowFromLayout(builder_, parsed_, kEditRowLayout);
  if (!row) return false;
  row->SetUserData(user_data.c_str());
  RowOrigin origin;
  const FieldChoice choice = FieldChoiceOf(group, entry, new_type);
  if (CComboUI* combo = RowCombo(row)) {
    for (const std::u16string& text : choice.items) {
      auto* item = new CListLabelElementUI;
      item->SetText(text.c_str());
      combo->Add(item);
    }
    combo->SelectItem(choice.selected);
  }
  origin.first_choice = choice.selected;
  if (entry) {
    origin.has_entry = true;
    origin.entry = *entry;
  }
  origins_[row] = origin;
  if (CControlUI* value = RowPart(row, u"constom_value")) {
    value->SetText(entry ? entry->value.c_str() : u"");
    value->SetUserData(DecimalText(group).c_str());
  }
  if (CControlUI* del = RowPart(row, u"delconstom_btn")) del->SetTag(reinterpret_cast<UINT_PTR>(row));
  UpdateHeight();
  return true;
}

void CConstomFormList::UpdateHeight() { SetFixedHeight(FieldListHeight(GetCount())); }

bool CConstomFormList::RemoveRow(int index) {
  CControlUI* row = GetItemAt(index);
  if (!row) return false;
  origins_.erase(row);
  const bool removed = RemoveAt(index);
  UpdateHeight();
  return removed;
}

void CConstomFormList::RemoveAll() {
  origins_.clear();
  CListUIEx::RemoveAll();
}

void CConstomFormList::BuildContact(ContactRecord& record, bool without_ids) {
  record.id = static_cast<int32_t>(ParseInt(GetUserData()));
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* row = GetItemAt(i);
    CControlUI* value = RowPart(row, u"constom_value");
    if (!value || value->GetText().IsEmpty()) continue;
    const int group = static_cast<int>(ParseInt(value->GetUserData()));
    CComboUI* combo = RowCombo(row);
    const int choice = combo ? combo->GetCurSel() : -1;
    auto it = origins_.find(row);
    const RowOrigin* origin = it != origins_.end() ? &it->second : nullptr;
    const ContactFieldEntry* original = origin && origin->has_entry ? &origin->entry : nullptr;
    ContactFieldEntry entry =
        FieldEntryFromRow(group, original, origin ? origin->first_choice : -1, choice, value->GetText().str(), true);
    // A row's id is its user data (0 for a row added in the form).
    entry.row_id = without_ids ? 0 : static_cast<int32_t>(ParseInt(row->GetUserData()));
    AddFieldToRecord(record, group, entry);
  }
}

bool CConstomEditList::AddField(const ContactFieldEntry& entry, int group) {
  return AddRow(&entry, group, 0, DecimalText(entry.row_id));
}

bool CConstomEditList::AddEmptyField(int group, int type) { return AddRow(nullptr, group, type, u"0"); }

bool CConstomNewList::AddField(int group, int type) { return AddRow(nullptr, group, type, DecimalText(group)); }

// ---------------- details list ----------------

bool CConstomInfoList::AddField(const ContactFieldEntry& entry, int group) {
  CControlUI* row = AddRowFromLayout(builder_, parsed_, kInfoRowLayout);
  if (!row) return false;
  row->SetUserData(DecimalText(entry.row_id).c_str());
  if (CControlUI* name = RowPart(row, u"constom_name")) name->SetText(FieldInfoName(group, entry).c_str());
  if (CControlUI* value = RowPart(row, u"constom_value")) value->SetText(entry.value.c_str());
  return true;
}
