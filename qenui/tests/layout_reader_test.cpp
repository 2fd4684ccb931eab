// The layout reader over CXmlDocument: encodings of layout files and the
// element tree it hands to the builder.
#include <gtest/gtest.h>

#include <string>

#include "qenui/core/UILayoutReader.h"

using namespace DuiLib;

namespace {

// name[attr=value,...]{children}, siblings separated by spaces.
std::string Tree(const CMarkupNode& n) {
  std::string out = n.name.ToUtf8() + "[";
  for (size_t i = 0; i < n.attributes.size(); ++i) {
    if (i) out += ",";
    out += n.attributes[i].first.ToUtf8() + "=" + n.attributes[i].second.ToUtf8();
  }
  out += "]";
  if (!n.children.empty()) {
    out += "{";
    for (size_t i = 0; i < n.children.size(); ++i) out += (i ? " " : "") + Tree(n.children[i]);
    out += "}";
  }
  return out;
}

std::string Nested(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<C>";
  for (int i = 0; i < depth; ++i) s += "</C>";
  return s;
}

TEST(LayoutReader, ElementTreeOrClearError) {
  // tree null: rejected; "*": accepted (tree not compared).
  struct Case { std::string text; const char* tree; };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- skin -->\r\n"
       "<Window size=\"400,300\"><Font id=\"0\" name=\"微软雅黑\"/>text<VerticalLayout>"
       "<Button name=\"b\" text=\"a &amp; b &lt;&#x4e2d;&gt;\" tip='say \"hi\"'/></VerticalLayout></Window>",
       "Window[size=400,300]{Font[id=0,name=微软雅黑] VerticalLayout[]{Button[name=b,text=a & b <中>,tip=say \"hi\"]}}"},
      {"<Label\n  text = 'x'\tpos=\"1,2,3,4\" ></Label>", "Label[text=x,pos=1,2,3,4]"},
      {"<A><![CDATA[<B/>]]></A>", "A[]"},
      {"<Label text=\"1\" align=\"left\" text=\"2\"/>", "Label[text=1,align=left]"},
      {Nested(200), "*"},
      {Nested(201), nullptr},
      {"<Window><Label></Window>", nullptr},
      {"<Label text=\"x></Label>", nullptr},
      {"<Label text=x/>", nullptr},
      {"<A/><B/>", nullptr},
      {"", nullptr},
      {"just text", nullptr},
      {"<A></B></A>", nullptr},
  };
  for (const Case& c : cases) {
    const std::u16string text = Utf8ToUtf16(c.text);
    CMarkupNode root;
    std::string error;
    const bool ok = ReadLayoutElements(text, &root, &error);
    if (c.tree) {
      ASSERT_TRUE(ok) << c.text.substr(0, 40) << ": " << error;
      if (std::string(c.tree) != "*") {
        EXPECT_EQ(Tree(root), c.tree);
      }
      EXPECT_TRUE(error.empty());
    } else {
      EXPECT_FALSE(ok) << c.text.substr(0, 40);
      EXPECT_FALSE(error.empty());
      EXPECT_TRUE(root.name.IsEmpty());  // the root is left untouched
    }
  }
}

TEST(LayoutReader, DecodesLayoutFileEncodings) {
  const std::u16string want = u"<Label text=\"中文\"/>";
  auto utf16 = [&](bool little) {
    std::string b = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : want) {
      const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
      b += little ? lo : hi;
      b += little ? hi : lo;
    }
    return b;
  };
  const std::string utf8 = "<Label text=\"\xE4\xB8\xAD\xE6\x96\x87\"/>";
  struct Case { const char* what; std::string bytes; std::u16string text; };
  const Case cases[] = {
      {"UTF-8", utf8, want},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8, want},
      {"UTF-16LE", utf16(true), want},
      {"UTF-16BE", utf16(false), want},
      {"UTF-16LE, odd byte at the end", utf16(true) + "x", want},
      {"GBK declared", "<?xml version=\"1.0\" encoding=\"GBK\"?><L t=\"\xD6\xD0\"/>",
       u"<?xml version=\"1.0\" encoding=\"GBK\"?><L t=\"中\"/>"},
      {"UTF-16 declared without mark", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><L/>",
       u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><L/>"},
      {"bad UTF-8", "<L t=\"\xFF\"/>", u"<L t=\"\uFFFD\"/>"},
      {"NUL bytes", std::string("<L/>\0", 5), u"<L/>"},
      {"empty", "", u""},
      {"mark only", "\xFF\xFE", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeLayoutBytes(c.bytes), c.text) << c.what;

  CMarkup markup;
  ASSERT_TRUE(markup.LoadFromBytes(utf16(false)));
  EXPECT_EQ(markup.GetRoot().GetAttributeValue(u"text"), u"中文");
  EXPECT_FALSE(markup.LoadFromBytes(std::string("\xFF\xFE<\0", 4)));
  EXPECT_FALSE(markup.IsValid());
}

}  // namespace
