// Tag names and the attribute list of the current element.
#include <gtest/gtest.h>

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

}  // namespace
