#include "qenui/core/UILayoutReader.h"

#include <vector>

namespace DuiLib {

namespace {

class LayoutReader {
 public:
  static constexpr size_t kMaxDepth = 200;
  explicit LayoutReader(const std::u16string& s) : s_(s) {}

  bool Parse(CMarkupNode* root, std::string* error) {
    std::vector<CMarkupNode*> stack;
    CMarkupNode doc;
    stack.push_back(&doc);
    while (i_ < s_.size()) {
      if (s_[i_] != u'<') { ++i_; continue; }
      if (Starts(u"<!--")) { if (!SkipPast(u"-->")) return Fail(error, "unterminated comment"); continue; }
      if (Starts(u"<?") || Starts(u"<!")) { if (!SkipPast(u">")) return Fail(error, "unterminated declaration"); continue; }
      if (Starts(u"</")) {
        i_ += 2;
        std::u16string name = Name();
        SkipBlanks();
        if (i_ >= s_.size() || s_[i_] != u'>') return Fail(error, "bad end tag");
        ++i_;
        if (stack.size() < 2 || stack.back()->name != name.c_str()) return Fail(error, "mismatched end tag");
        stack.pop_back();
        continue;
      }
      ++i_;
      CMarkupNode node;
      node.name = Name();
      if (node.name.IsEmpty()) return Fail(error, "bad start tag");
      bool empty = false;
      for (;;) {
        SkipBlanks();
        if (i_ >= s_.size()) return Fail(error, "unterminated start tag");
        if (s_[i_] == u'/') {
          if (i_ + 1 >= s_.size() || s_[i_ + 1] != u'>') return Fail(error, "bad empty tag");
          i_ += 2; empty = true; break;
        }
        if (s_[i_] == u'>') { ++i_; break; }
        std::u16string an = Name();
        if (an.empty()) return Fail(error, "bad attribute name");
        SkipBlanks();
        if (i_ >= s_.size() || s_[i_] != u'=') return Fail(error, "attribute without value");
        ++i_;
        SkipBlanks();
        if (i_ >= s_.size() || (s_[i_] != u'"' && s_[i_] != u'\'')) return Fail(error, "unquoted attribute");
        char16_t q = s_[i_++];
        size_t end = s_.find(q, i_);
        if (end == std::u16string::npos) return Fail(error, "unterminated attribute");
        node.attributes.emplace_back(CDuiString(an), CDuiString(Decode(s_.substr(i_, end - i_))));
        i_ = end + 1;
      }
      stack.back()->children.push_back(std::move(node));
      if (!empty) {
        if (stack.size() > kMaxDepth) return Fail(error, "elements nested too deep");
        stack.push_back(&stack.back()->children.back());
      }
    }
    if (stack.size() != 1) return Fail(error, "unclosed element");
    if (doc.children.size() != 1) return Fail(error, "layout needs exactly one root element");
    *root = std::move(doc.children[0]);
    return true;
  }

 private:
  bool Fail(std::string* error, const char* what) {
    *error = std::string("layout: ") + what + " at offset " + std::to_string(i_);
    return false;
  }
  bool Starts(const char16_t* p) const { return s_.compare(i_, std::char_traits<char16_t>::length(p), p) == 0; }
  bool SkipPast(const char16_t* p) {
    size_t e = s_.find(p, i_);
    if (e == std::u16string::npos) return false;
    i_ = e + std::char_traits<char16_t>::length(p);
    return true;
  }
  void SkipBlanks() { while (i_ < s_.size() && (s_[i_] == u' ' || s_[i_] == u'\t' || s_[i_] == u'\r' || s_[i_] == u'\n')) ++i_; }
  std::u16string Name() {
    size_t st = i_;
    while (i_ < s_.size()) {
      char16_t c = s_[i_];
      if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'/' || c == u'>' || c == u'=' || c == u'<' ||
          c == u'"' || c == u'\'')
        break;
      ++i_;
    }
    return s_.substr(st, i_ - st);
  }
  static std::u16string Decode(const std::u16string& v) {
    std::u16string out;
    for (size_t k = 0; k < v.size(); ++k) {
      if (v[k] != u'&') { out += v[k]; continue; }
      size_t semi = v.find(u';', k);
      if (semi == std::u16string::npos || semi - k > 10) { out += v[k]; continue; }
      std::u16string ent = v.substr(k + 1, semi - k - 1);
      char32_t c = 0;
      if (ent == u"lt") c = u'<'; else if (ent == u"gt") c = u'>'; else if (ent == u"amp") c = u'&';
      else if (ent == u"quot") c = u'"'; else if (ent == u"apos") c = u'\'';
      else if (!ent.empty() && ent[0] == u'#') {
        bool hex = ent.size() > 1 && (ent[1] == u'x' || ent[1] == u'X');
        for (size_t j = hex ? 2 : 1; j < ent.size(); ++j) {
          char16_t d = ent[j];
          int dv = d >= u'0' && d <= u'9' ? d - u'0' : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10 : hex && d >= u'A' && d <= u'F' ? d - u'A' + 10 : -1;
          if (dv < 0 || c > 0x10FFFF) { c = 0; break; }
          c = c * (hex ? 16 : 10) + dv;
        }
      }
      if (c == 0 || c > 0x10FFFF) { out += v[k]; continue; }
      if (c >= 0x10000) { c -= 0x10000; out += static_cast<char16_t>(0xD800 + (c >> 10)); out += static_cast<char16_t>(0xDC00 + (c & 0x3FF)); }
      else out += static_cast<char16_t>(c);
      k = semi;
    }
    return out;
  }
  const std::u16string& s_;
  size_t i_ = 0;
};

}  // namespace

bool ReadLayoutElements(const std::u16string& text, CMarkupNode* root, std::string* error) {
  LayoutReader reader(text);
  return reader.Parse(root, error);
}

}  // namespace DuiLib
