#include "ui/pages/page_phone.h"

#include <mutex>

#include "app/data/phone.h"

namespace {

std::mutex g_source_lock;  // guards g_source (UI thread and page workers)
std::function<std::shared_ptr<CPhone>()> g_source;

}  // namespace

std::shared_ptr<CPhone> PagePhone() {
  std::function<std::shared_ptr<CPhone>()> source;
  {
    std::lock_guard<std::mutex> hold(g_source_lock);
    source = g_source;
  }
  return source ? source() : CurrentPhone();
}

void SetPagePhoneSource(std::function<std::shared_ptr<CPhone>()> source) {
  std::lock_guard<std::mutex> hold(g_source_lock);
  g_source = std::move(source);
}

std::u16string DecimalText(long long n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

int32_t IdOf(DuiLib::CControlUI* control) {
  return control ? static_cast<int32_t>(DuiLib::ParseInt(control->GetUserData())) : 0;
}
