// What the contacts and SMS pages share: the phone they act on and the
// decimal ids their rows carry.
//
// PagePhone is the connected phone (CurrentPhone) unless a test set its own
// source. A page takes a reference for the call at hand only; a worker
// takes one per item, so a phone that goes away mid-job is never used
// after its last reference is dropped.
//
// Threading: PagePhone may be called from any thread (the delete worker);
// SetPagePhoneSource runs on the UI thread while no page job runs.
#pragma once

#include <functional>
#include <memory>
#include <string>

class CPhone;

std::shared_ptr<CPhone> PagePhone();
// Null restores the connected phone.
void SetPagePhoneSource(std::function<std::shared_ptr<CPhone>()> source);

// An id as the rows carry it.
std::u16string DecimalText(long long n);
