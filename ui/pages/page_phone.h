// What the contacts and SMS pages share: the phone they act on, the
// decimal ids their rows carry, and looking controls up.
//
// PagePhone is the connected phone (CurrentPhone) unless a test set its own
// source. A page takes a reference for the call at hand only; a worker
// takes one per item, so a phone that goes away mid-job is never used
// after its last reference is dropped.
//
// Threading: PagePhone may be called from any thread (the delete worker);
// SetPagePhoneSource runs on the UI thread while no page job runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "qenui/UIlib.h"

class CPhone;

std::shared_ptr<CPhone> PagePhone();
// Null restores the connected phone.
void SetPagePhoneSource(std::function<std::shared_ptr<CPhone>()> source);

// An id as the rows carry it.
std::u16string DecimalText(long long n);
// The id a control carries as its user data (0 for none).
int32_t IdOf(DuiLib::CControlUI* control);

// Names compared as the notifications' senders are: ASCII case ignored.
inline bool SameName(const DuiLib::CDuiString& a, DuiLib::LPCTSTR b) { return DuiLib::CompareNoCase(a, b) == 0; }

// A control of the window by name, as the interface `iface` (null when absent).
template <typename T>
T* FindAs(DuiLib::CPaintManagerUI* pm, DuiLib::LPCTSTR name, DuiLib::LPCTSTR iface) {
  DuiLib::CControlUI* c = pm ? pm->FindControl(name) : nullptr;
  return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
}
