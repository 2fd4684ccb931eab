// Tag names and the attribute list of the current element.
#include <gtest/gtest.h>

#include <functional>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/tests/xml_test_util.h"
#include "foundation/base/tests/case_name.h"

namespace {

// The tree from the cursor on, as name[attr=value,...]{children} with
// siblings separated by spaces.
std::string Walk(CXmlDocument& doc) {
  std::string out;
  while (doc.FindElement()) {
    if (!out.empty()) out += ' ';
    out += N(doc.GetTagName()) + '[';
    for (int i = 0;; ++i) {
      const std::u16string name = doc.GetAttributeName(i);
      if (name.empty()) break;
      if (i) out += ',';
      out += N(name) + '=' + N(doc.GetAttribute(name));
    }
    out += ']';
    if (doc.IntoElement()) {
      const std::string inner = Walk(doc);
      EXPECT_TRUE(doc.OutOfElement());
      if (!inner.empty()) out += '{' + inner + '}';
    }
  }
  return out;
}

struct NamesCase {
  const char* text;
  const char* tree;
};

class TagAndAttributeNames : public ::testing::TestWithParam<NamesCase> {};

TEST_P(TagAndAttributeNames, ListTheTree) {
  CXmlDocument doc(U(GetParam().text));
  EXPECT_EQ(Walk(doc), GetParam().tree) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Xml, TagAndAttributeNames,
    ::testing::Values(
        NamesCase{"<r a=\"1\"><x/><y b='2' c=\"3\">t</y><z><w/></z></r>",
                  "r[a=1]{x[] y[b=2,c=3] z[]{w[]}}"},
        NamesCase{"<e v=\"&lt;&amp;&#x4e2d;&gt;\" w=\"&unknown;\"/>", "e[v=<&中>,w=&unknown;]"},
        NamesCase{"<e s='say \"hi\"' d=\"it's\" q=\"&quot;&apos;\"/>",
                  "e[s=say \"hi\",d=it's,q=\"']"},
        NamesCase{"<e/>", "e[]"},
        NamesCase{"<e\r\n  a = 'x'\tb=\"y\" />", "e[a=x,b=y]"},
        NamesCase{"<e a=plain b=\"\"></e>", "e[a=plain,b=]"},
        // A name without value reads as empty; a stray '=' names nothing.
        NamesCase{"<e flag =\"x\" c=\"1\"/>", "e[flag=x,c=1]"},
        NamesCase{"<e flag c=\"1\"/>", "e[flag=,c=1]"},
        NamesCase{"<e =\"x\" c=\"1\"/>", "e[c=1]"},
        NamesCase{"<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- c --><!DOCTYPE r><r k=\"v\"/>",
                  "r[k=v]"},
        NamesCase{"<窗口 名称=\"值\"><子/></窗口>", "窗口[名称=值]{子[]}"},
        // Malformed: b has no end tag, c follows it under a; the names
        // still come from the text as parsed.
        NamesCase{"<a x=\"1\"><b y=\"2\"><c/></a>", "a[x=1]{b[y=2] c[]}"},
        NamesCase{"<a x=\"1>2\">", "a[x=1>2]"},
        NamesCase{"", ""}),
    testing_support::NumberedBy(&NamesCase::text));

TEST(XmlNames, NothingWithoutACurrentElementOrPastTheEnd) {
  CXmlDocument doc(u"<r a=\"1\" b=\"2\"><c/></r>");
  EXPECT_EQ(doc.GetTagName(), u"");  // at the document
  EXPECT_EQ(doc.GetAttributeName(0), u"");
  ASSERT_TRUE(doc.FindElement());
  EXPECT_EQ(doc.GetTagName(), u"r");
  EXPECT_EQ(doc.GetAttributeName(1), u"b");
  for (int n : {2, 3, 1000, -1}) EXPECT_EQ(doc.GetAttributeName(n), u"") << n;
  ASSERT_TRUE(doc.IntoElement());
  EXPECT_EQ(doc.GetTagName(), u"");  // inside r, before its first child
  ASSERT_TRUE(doc.FindElement());
  EXPECT_EQ(doc.GetTagName(), u"c");
  EXPECT_EQ(doc.GetAttributeName(0), u"");
  ASSERT_TRUE(doc.OutOfElement());
  EXPECT_EQ(doc.GetTagName(), u"r");
  EXPECT_EQ(doc.FindElement(doc.GetTagName()), false);  // r has no sibling
  doc.ResetPosition();
  EXPECT_EQ(doc.GetTagName(), u"");
}

TEST(XmlNames, FollowEdits) {
  CXmlDocument doc(u"<r a=\"1\"/>");
  ASSERT_TRUE(doc.FindElement(u"r"));
  ASSERT_TRUE(doc.SetAttribute(u"z", u"<\"&>", XML_ESCAPE_ATTRIBUTE));
  ASSERT_TRUE(doc.SetAttribute(u"a", u"long value"));
  EXPECT_EQ(doc.GetAttributeName(0), u"a");
  EXPECT_EQ(doc.GetAttributeName(1), u"z");
  EXPECT_EQ(doc.GetAttribute(u"z"), u"<\"&>");
  ASSERT_TRUE(doc.AddChildElement(u"kid"));
  ASSERT_TRUE(doc.IntoElement());  // the added child becomes the position
  EXPECT_EQ(doc.GetTagName(), u"kid");
}


// Reading an attribute indexes the attributes of its element; every change
// of the text and every other element read afterwards sees the text as it
// is then. Each case reads first (filling the index), edits, reads again.
struct ReadAfterEditCase {
  const char* label;
  std::function<void(CXmlDocument&)> edit;
  const char* reads;  // "element.attribute=value" of both elements after the edit
};

class AttributeReads : public ::testing::TestWithParam<ReadAfterEditCase> {};

// "r.a=1 r.b=2 c.id=7 c.r.a=1": the attributes of r and of its child c as
// read now, in that order (the last read is r's, from c).
std::string ReadBoth(CXmlDocument& doc) {
  doc.ResetPosition();
  if (!doc.FindElement(u"r")) return "no r";
  std::string out = "r.a=" + N(doc.GetAttribute(u"a"));
  out += " r.b=" + N(doc.GetAttribute(u"b"));
  const int r = doc.GetCurrentPosition();
  doc.IntoElement();
  if (doc.FindElement(u"c")) {
    out += " c.id=" + N(doc.GetAttribute(u"id"));
    out += " c.r.a=" + N(doc.GetAttributeAt(r, u"a"));
  }
  return out;
}

TEST_P(AttributeReads, SeeTheTextAsItIsNow) {
  CXmlDocument doc(u"<r a=\"1\" b=\"2\"><c id=\"7\"/></r>");
  ASSERT_EQ(ReadBoth(doc), "r.a=1 r.b=2 c.id=7 c.r.a=1");
  GetParam().edit(doc);
  EXPECT_EQ(ReadBoth(doc), GetParam().reads) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Xml, AttributeReads,
    ::testing::Values(
        ReadAfterEditCase{"value of the element read last",
                          [](CXmlDocument& d) {
                            d.ResetPosition();
                            d.FindElement(u"r");
                            d.IntoElement();
                            d.FindElement(u"c");
                            d.GetAttribute(u"id");
                            d.SetAttribute(u"id", u"seventy");
                          },
                          "r.a=1 r.b=2 c.id=seventy c.r.a=1"},
        ReadAfterEditCase{"a longer value before the other element",
                          [](CXmlDocument& d) {
                            d.ResetPosition();
                            d.FindElement(u"r");
                            d.GetAttribute(u"a");
                            d.SetAttribute(u"a", u"one hundred");
                          },
                          "r.a=one hundred r.b=2 c.id=7 c.r.a=one hundred"},
        ReadAfterEditCase{"an attribute added in front of the one read",
                          [](CXmlDocument& d) {
                            d.SetDocument(u"<r b=\"2\" a=\"x\"><c id=\"7\"/></r>");
                          },
                          "r.a=x r.b=2 c.id=7 c.r.a=x"},
        ReadAfterEditCase{"a child added and the old child removed",
                          [](CXmlDocument& d) {
                            d.ResetPosition();
                            d.FindElement(u"r");
                            d.IntoElement();
                            d.FindElement(u"c");
                            d.RemoveElement();
                            d.ResetPosition();
                            d.FindElement(u"r");
                            d.AddChildElement(u"c");
                            d.IntoElement();
                            d.SetAttribute(u"id", u"new");
                          },
                          "r.a=1 r.b=2 c.id=new c.r.a=1"},
        ReadAfterEditCase{"the same element in another document text",
                          [](CXmlDocument& d) { d.SetDocument(u"<r a=\"98765\"><c id=\"8\"/></r>"); },
                          "r.a=98765 r.b= c.id=8 c.r.a=98765"}),
    testing_support::NumberedBy(&ReadAfterEditCase::label));

}  // namespace
