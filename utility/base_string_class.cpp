// CBaseStringA and CBaseStringW: standard strings with Find and Trim.
#include "utility/base_string.h"

namespace {

template <typename Str>
int FindIn(const Str& s, const typename Str::value_type* text, size_t textLen, int start) {
  if (start < 0) start = 0;
  const size_t pos = s.find(text, static_cast<size_t>(start), textLen);
  return pos == Str::npos ? -1 : static_cast<int>(pos);
}

template <typename Str>
void TrimLeftOf(Str& s) {
  const size_t first = s.find_first_not_of(static_cast<typename Str::value_type>(' '));
  s.erase(0, first == Str::npos ? s.size() : first);
}

template <typename Str>
void TrimRightOf(Str& s) {
  const size_t last = s.find_last_not_of(static_cast<typename Str::value_type>(' '));
  s.erase(last == Str::npos ? 0 : last + 1);
}

}  // namespace

CBaseStringA::CBaseStringA() = default;
CBaseStringA::CBaseStringA(const char* text) : std::string(text ? text : "") {}
CBaseStringA::CBaseStringA(const CBaseStringA& other) = default;
CBaseStringA::CBaseStringA(const std::string& other) : std::string(other) {}
CBaseStringA::~CBaseStringA() = default;

bool CBaseStringA::operator==(const CBaseStringA& other) const {
  return static_cast<const std::string&>(*this) == static_cast<const std::string&>(other);
}
bool CBaseStringA::operator==(const std::string& other) const {
  return static_cast<const std::string&>(*this) == other;
}
bool CBaseStringA::operator==(const char* text) const {
  return text != nullptr && compare(text) == 0;
}

CBaseStringA& CBaseStringA::operator=(const CBaseStringA& other) = default;
CBaseStringA& CBaseStringA::operator=(const std::string& other) {
  std::string::operator=(other);
  return *this;
}
CBaseStringA& CBaseStringA::operator=(const char* text) {
  std::string::operator=(text ? text : "");
  return *this;
}

int CBaseStringA::Find(const char* text, int start) const {
  if (text == nullptr) return -1;
  return FindIn(*this, text, std::char_traits<char>::length(text), start);
}
int CBaseStringA::Find(const std::string& text, int start) const {
  return FindIn(*this, text.data(), text.size(), start);
}
int CBaseStringA::Find(char c, int start) const { return FindIn(*this, &c, 1, start); }

void CBaseStringA::TrimLeft() { TrimLeftOf(*this); }
void CBaseStringA::TrimRight() { TrimRightOf(*this); }
void CBaseStringA::Trim() {
  TrimLeft();
  TrimRight();
}

CBaseStringW::CBaseStringW() = default;
CBaseStringW::CBaseStringW(const char16_t* text) : std::u16string(text ? text : u"") {}
CBaseStringW::CBaseStringW(const CBaseStringW& other) = default;
CBaseStringW::CBaseStringW(const std::u16string& other) : std::u16string(other) {}
CBaseStringW::~CBaseStringW() = default;

bool CBaseStringW::operator==(const CBaseStringW& other) const {
  return static_cast<const std::u16string&>(*this) == static_cast<const std::u16string&>(other);
}
bool CBaseStringW::operator==(const std::u16string& other) const {
  return static_cast<const std::u16string&>(*this) == other;
}
bool CBaseStringW::operator==(const char16_t* text) const {
  return text != nullptr && compare(text) == 0;
}

CBaseStringW& CBaseStringW::operator=(const CBaseStringW& other) = default;
CBaseStringW& CBaseStringW::operator=(const std::u16string& other) {
  std::u16string::operator=(other);
  return *this;
}
CBaseStringW& CBaseStringW::operator=(const char16_t* text) {
  std::u16string::operator=(text ? text : u"");
  return *this;
}

int CBaseStringW::Find(const char16_t* text, int start) const {
  if (text == nullptr) return -1;
  return FindIn(*this, text, std::char_traits<char16_t>::length(text), start);
}
int CBaseStringW::Find(const std::u16string& text, int start) const {
  return FindIn(*this, text.data(), text.size(), start);
}
int CBaseStringW::Find(char16_t c, int start) const { return FindIn(*this, &c, 1, start); }

void CBaseStringW::TrimLeft() { TrimLeftOf(*this); }
void CBaseStringW::TrimRight() { TrimRightOf(*this); }
void CBaseStringW::Trim() {
  TrimLeft();
  TrimRight();
}
