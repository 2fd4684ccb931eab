#include "qenui/core/UIText.h"

#include <algorithm>

#include "qenui/core/UIImage.h"

namespace DuiLib {

namespace {

struct Style {
  int font = -1;
  DWORD color = 0;
  bool bold = false, italic = false, underline = false;
  int link = -1;
};

// Parses one tag body such as "f 3", "/c", "a http://x". Returns false when
// the tag is unknown, so the caller keeps it as literal text.
bool ApplyTag(const std::u16string& body, std::vector<std::pair<char16_t, Style>>& stack, Style& cur,
              TTextMarkup& out) {
  if (body.empty()) return false;
  bool closing = body[0] == u'/';
  std::u16string rest = closing ? body.substr(1) : body;
  if (rest.empty()) return false;
  char16_t kind = rest[0];
  std::u16string arg;
  if (rest.size() > 1) {
    if (rest[1] != u' ') return false;
    arg = rest.substr(2);
  }
  static const std::u16string kKinds = u"fcbiuan";
  if (kKinds.find(kind) == std::u16string::npos) return false;
  if (closing) {
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
      if (it->first == kind) {
        cur = it->second;
        stack.erase(std::next(it).base(), stack.end());
        return true;
      }
    }
    return true;  // a stray closing tag changes nothing
  }
  if (kind == u'n') {
    TTextRun br;
    br.lineBreak = true;
    out.runs.push_back(br);
    return true;
  }
  stack.emplace_back(kind, cur);
  switch (kind) {
    case u'f': cur.font = static_cast<int>(ParseInt(arg.c_str())); break;
    case u'c': cur.color = ParseColor(arg.c_str()); break;
    case u'b': cur.bold = true; break;
    case u'i': cur.italic = true; break;
    case u'u': cur.underline = true; break;
    case u'a':
      cur.link = static_cast<int>(out.links.size());
      out.links.emplace_back(arg);
      break;
  }
  return true;
}

void AppendText(TTextMarkup& out, const Style& st, const std::u16string& text) {
  if (text.empty()) return;
  if (!out.runs.empty()) {
    TTextRun& last = out.runs.back();
    if (!last.lineBreak && last.font == st.font && last.color == st.color && last.bold == st.bold &&
        last.italic == st.italic && last.underline == st.underline && last.link == st.link) {
      last.text += text;
      return;
    }
  }
  TTextRun r;
  r.text = text;
  r.font = st.font;
  r.color = st.color;
  r.bold = st.bold;
  r.italic = st.italic;
  r.underline = st.underline;
  r.link = st.link;
  out.runs.push_back(r);
}

// Ends the line: the pending text, then a line break run.
void AppendLineBreak(TTextMarkup& out, const Style& st, std::u16string& pending) {
  AppendText(out, st, pending);
  pending.clear();
  TTextRun br;
  br.lineBreak = true;
  out.runs.push_back(br);
}

}  // namespace

TTextMarkup ParseTextMarkup(const std::u16string& s) {
  TTextMarkup out;
  std::vector<std::pair<char16_t, Style>> stack;
  Style cur;
  std::u16string pending;
  size_t i = 0;
  while (i < s.size()) {
    char16_t c = s[i];
    if (c == u'<' || c == u'{') {
      if (i + 1 < s.size() && s[i + 1] == c) { pending += c; i += 2; continue; }
      char16_t close = c == u'<' ? u'>' : u'}';
      size_t end = s.find(close, i + 1);
      if (end != std::u16string::npos) {
        std::u16string body = s.substr(i + 1, end - i - 1);
        size_t before = out.runs.size();
        AppendText(out, cur, pending);
        pending.clear();
        (void)before;
        std::vector<std::pair<char16_t, Style>> savedStack = stack;
        Style savedCur = cur;
        if (ApplyTag(body, stack, cur, out)) { i = end + 1; continue; }
        stack = savedStack;
        cur = savedCur;
      }
    }
    if (c == u'\n') {
      AppendLineBreak(out, cur, pending);
      ++i;
      continue;
    }
    if (c != u'\r') pending += c;
    ++i;
  }
  AppendText(out, cur, pending);
  return out;
}

TTextMarkup PlainTextRuns(const std::u16string& s) {
  TTextMarkup out;
  Style st;
  std::u16string line;
  for (char16_t c : s) {
    if (c == u'\n') {
      AppendLineBreak(out, st, line);
    } else if (c != u'\r') {
      line += c;
    }
  }
  AppendText(out, st, line);
  return out;
}

CDuiString EscapeMarkup(const CDuiString& plain) {
  std::u16string out;
  for (char16_t c : plain.str()) {
    out += c;
    if (c == u'<' || c == u'{') out += c;
  }
  return CDuiString(out);
}

TTextLayout LayoutText(const TTextMarkup& markup, const RECT& rc, UINT style, int defaultFont, DWORD defaultColor,
                       const FontResolver& fonts, const TextMeasure& measure) {
  struct Piece { std::u16string text; TFontInfo font; DWORD color; int link; long cx, cy; };
  std::vector<std::vector<Piece>> lines(1);
  const bool single = (style & DT_SINGLELINE) != 0;
  const bool wrap = !single && (style & DT_WORDBREAK) != 0;
  const long maxWidth = rc.Width();
  long lineWidth = 0;
  auto fontOf = [&](const TTextRun& r) {
    TFontInfo f = fonts(r.font >= 0 ? r.font : defaultFont);
    if (r.bold) f.bBold = true;
    if (r.italic) f.bItalic = true;
    if (r.underline) f.bUnderline = true;
    return f;
  };
  for (const TTextRun& r : markup.runs) {
    if (r.lineBreak) {
      if (!single) { lines.emplace_back(); lineWidth = 0; }
      continue;
    }
    TFontInfo f = fontOf(r);
    DWORD color = r.color ? r.color : defaultColor;
    std::u16string rest = r.text;
    while (!rest.empty()) {
      SIZE sz = measure(rest, f);
      if (!wrap || lineWidth + sz.cx <= maxWidth) {
        lines.back().push_back({rest, f, color, r.link, sz.cx, sz.cy});
        lineWidth += sz.cx;
        break;
      }
      // Take the longest prefix that fits (at least one character on an empty line).
      size_t fit = 0;
      for (size_t n = 1; n <= rest.size(); ++n) {
        if (lineWidth + measure(rest.substr(0, n), f).cx > maxWidth) break;
        fit = n;
      }
      if (fit == 0 && lineWidth == 0) fit = 1;
      if (fit > 0) {
        size_t space = rest.rfind(u' ', fit);
        if (space != std::u16string::npos && space > 0 && fit < rest.size()) fit = space + 1;
        std::u16string part = rest.substr(0, fit);
        SIZE psz = measure(part, f);
        lines.back().push_back({part, f, color, r.link, psz.cx, psz.cy});
        rest = rest.substr(fit);
      }
      lines.emplace_back();
      lineWidth = 0;
    }
  }
  TTextLayout out;
  std::vector<long> heights, widths;
  long total = 0;
  for (auto& line : lines) {
    long w = 0, h = 0;
    for (auto& p : line) { w += p.cx; h = std::max(h, p.cy); }
    if (line.empty()) h = measure(u" ", fonts(defaultFont)).cy;
    widths.push_back(w);
    heights.push_back(h);
    total += h;
    out.extent.cx = std::max(out.extent.cx, w);
  }
  out.extent.cy = total;
  long y = rc.top;
  if (style & DT_VCENTER) y = rc.top + (rc.Height() - total) / 2;
  else if (style & DT_BOTTOM) y = rc.bottom - total;
  for (size_t li = 0; li < lines.size(); ++li) {
    long x = rc.left;
    if (style & DT_CENTER) x = rc.left + (rc.Width() - widths[li]) / 2;
    else if (style & DT_RIGHT) x = rc.right - widths[li];
    for (auto& p : lines[li]) {
      TPlacedRun pr;
      pr.rc = MakeRect(x, y + (heights[li] - p.cy), x + p.cx, y + heights[li]);
      pr.text = p.text;
      if ((style & DT_END_ELLIPSIS) && pr.rc.right > rc.right && pr.rc.left < rc.right) {
        std::u16string t = p.text;
        while (!t.empty() && x + measure(t + u"...", p.font).cx > rc.right) t.pop_back();
        pr.text = t + u"...";
        pr.rc.right = x + measure(pr.text, p.font).cx;
      }
      pr.font = p.font;
      pr.color = p.color;
      pr.link = p.link;
      out.runs.push_back(pr);
      x += p.cx;
    }
    y += heights[li];
  }
  return out;
}

}  // namespace DuiLib
