// Parse results, element records and navigation.
#include <gtest/gtest.h>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/tests/xml_test_util.h"
#include "foundation/base/tests/case_name.h"

namespace {

struct ParseCase {
  const char* text;
  bool wellFormed;
  const char* result;
};

class ParseRecords : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRecords, GivesTheRecords) {
  const ParseCase& c = GetParam();
  CXmlDocument doc;
  EXPECT_EQ(doc.SetDocument(U(c.text)), c.wellFormed);
  EXPECT_EQ(N(doc.GetResult()), c.result);
  EXPECT_EQ(doc.CheckDocument(), c.wellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, ParseRecords,
    ::testing::Values(
        ParseCase{"", false, ""},
        ParseCase{"<a><b x=\"1\"/>text</a>", true, ""},
        ParseCase{"<?xml version=\"1.0\"?>\r\n<!DOCTYPE a [<!ELEMENT a ANY>]><!--c--><a><![CDATA[<x>]]></a>",
                  true, ""},
        // b's end tag never comes: b is unended, a ends at its own end tag.
        ParseCase{"<a><b></a>", false,
                  "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/>"},
        ParseCase{"<a></b></a>", false, "<lone_end_tag tagname=\"b\" offset=\"3\"/>"},
        ParseCase{"<a/><b/>", false, "<root_has_sibling/>"},
        ParseCase{"just text", false, "<no_root_element/>"},
        // Open at the end of the text: a cut-off text is not well formed.
        ParseCase{"<a x=\"1>2\">", false,
                  "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"11\"/>"},
        ParseCase{"<a><1b></a>", false, "<first_tag_syntax offset=\"3\"/>"},
        ParseCase{"<a><!x></a>", false, "<exclamation_tag_syntax offset=\"3\"/>"},
        ParseCase{"<a><!-x></a>", false, "<comment_tag_syntax offset=\"3\"/>"},
        ParseCase{"<a><![X></a>", false, "<cdata_section_syntax offset=\"3\"/>"},
        ParseCase{"<!DOCTYPE a [<!Q>]><a/>", false, "<doctype_tag_syntax offset=\"13\"/>"},
        ParseCase{"<a/><!-- open", false,
                  "<unterminated_tag_syntax type=\"comment\" offset=\"4\"/>"},
        ParseCase{"<a><b", false,
                  "<unterminated_tag_syntax type=\"start_tag\" offset=\"3\"/>"
                  "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"5\"/>"},
        ParseCase{"<a></a", false, "<unterminated_tag_syntax type=\"end_tag\" offset=\"3\"/>"
                                    "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"6\"/>"},
        ParseCase{"<a><", false, "<unterminated_tag_syntax type=\"tag\" offset=\"3\"/>"
                                  "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"4\"/>"}),
    testing_support::NumberedBy(&ParseCase::text));

TEST(XmlParse, UnendedChildrenBecomeFollowingSiblings) {
  // b has no end tag: c and d become b's following siblings under a.
  CXmlDocument doc(u"<a><b><c/><d/></a>");
  ASSERT_TRUE(doc.FindElement(u"a"));
  ASSERT_TRUE(doc.IntoElement());
  EXPECT_TRUE(doc.FindElement(u"b"));
  EXPECT_TRUE(doc.FindElement(u"c"));
  EXPECT_TRUE(doc.FindElement(u"d"));
  EXPECT_FALSE(doc.FindElement());
  EXPECT_TRUE(doc.OutOfElement());
  EXPECT_FALSE(doc.FindElement());  // a is the only root
}

TEST(XmlParse, EmptyTextHasNoElements) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.FindElement());
  EXPECT_FALSE(doc.IntoElement());
  EXPECT_FALSE(doc.OutOfElement());
  EXPECT_TRUE(doc.GetResult().empty());
}

TEST(XmlParse, DeepNestingNeedsNoStack) {
  std::u16string text;
  for (int i = 0; i < 200000; ++i) text += u"<e>";
  CXmlDocument doc(text);
  EXPECT_FALSE(doc.CheckDocument());
  // Every unended element ends up a child of the document.
  int count = 0;
  while (doc.FindElement(u"e")) ++count;
  EXPECT_EQ(count, 200000);
}

TEST(XmlNavigate, FindWalksSiblingsAndKeepsTheCursorOnFailure) {
  CXmlDocument doc(u"<r><i n=\"1\"/><j/><i n=\"2\"/><i n=\"3\"/></r>");
  ASSERT_TRUE(doc.FindElement());  // the root
  EXPECT_FALSE(doc.FindElement());  // no sibling of the root
  ASSERT_TRUE(doc.IntoElement());
  std::u16string seen;
  while (doc.FindElement(u"i")) seen += doc.GetAttribute(u"n");
  EXPECT_EQ(seen, u"123");
  EXPECT_EQ(doc.GetAttribute(u"n"), u"3");  // the cursor stays on the third
}

struct PathCase {
  const char16_t* path;
  bool found;
};

class FindPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(FindPaths, MatchOnTheFirstName) {
  CXmlDocument doc(u"<Item a=\"1\"><sub/></Item>");
  EXPECT_EQ(doc.FindElement(GetParam().path), GetParam().found) << N(GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, FindPaths,
    ::testing::Values(PathCase{u"Item", true}, PathCase{u"item", false},
                      PathCase{u"Ite", false}, PathCase{u"Item[2]", true},
                      PathCase{u"Item[@a='1']", true}, PathCase{u"Item/sub", true},
                      PathCase{u"Item/@a", true}, PathCase{u"/Item", false},
                      PathCase{u"//Item", false}, PathCase{u"Item[2", false},
                      PathCase{u"Item]", false}, PathCase{u"Item[0]", false}),
    testing_support::NumberedBy(&PathCase::path));

TEST(XmlNavigate, AttributesAndData) {
  CXmlDocument doc(U("<r a='x &amp; y' b=plain c=\"&#x41;&#65;\"><n>1f</n><t>a &lt; b<![CDATA[<&>]]></t>"
                     "<m><k/></m><e/></r>"));
  ASSERT_TRUE(doc.FindElement(u"r"));
  EXPECT_EQ(doc.GetAttribute(u"a"), u"x & y");
  EXPECT_EQ(doc.GetAttribute(u"b"), u"plain");
  EXPECT_EQ(doc.GetAttribute(u"c"), u"AA");
  EXPECT_EQ(doc.GetAttribute(u"r"), u"");  // the tag name is no attribute
  EXPECT_EQ(doc.GetAttribute(u"missing"), u"");
  ASSERT_TRUE(doc.IntoElement());
  ASSERT_TRUE(doc.FindElement(u"n"));
  EXPECT_EQ(doc.GetData(), u"1f");
  ASSERT_TRUE(doc.FindElement(u"t"));
  EXPECT_EQ(doc.GetData(), u"a < b<&>");
  ASSERT_TRUE(doc.FindElement(u"m"));
  EXPECT_EQ(doc.GetData(), u"");  // holds elements
  ASSERT_TRUE(doc.FindElement(u"e"));
  EXPECT_EQ(doc.GetData(), u"");
  ASSERT_TRUE(doc.OutOfElement());
  EXPECT_EQ(doc.GetChildData(), u"");  // child is e
}

}  // namespace
