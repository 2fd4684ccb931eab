// Editing in place: the text each edit writes, and records that still
// match the text (checked against a fresh parse of the edited text).
#include <functional>

#include <gtest/gtest.h>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/tests/xml_test_util.h"
#include "foundation/base/tests/case_name.h"

namespace {

// The tree as navigation sees it: id attributes and data, nested.
void DumpLevel(CXmlDocument& doc, std::u16string& out) {
  while (doc.FindElement()) {
    out += u"(" + doc.GetAttribute(u"id") + u":" + doc.GetData();
    doc.IntoElement();
    DumpLevel(doc, out);
    doc.OutOfElement();
    out += u")";
  }
}

std::u16string Dump(CXmlDocument& doc) {
  std::u16string out;
  doc.ResetPosition();
  DumpLevel(doc, out);
  return out;
}

struct EditCase {
  const char* label;
  const char* before;
  std::function<void(CXmlDocument&)> edit;
  const char* after;
};

class Edits : public ::testing::TestWithParam<EditCase> {};

TEST_P(Edits, WriteTheTextAndKeepTheRecords) {
  const EditCase& c = GetParam();
  CXmlDocument doc(U(c.before));
  c.edit(doc);
  EXPECT_EQ(N(doc.GetDocument()), c.after) << c.label;
  CXmlDocument fresh(doc.GetDocument());
  EXPECT_EQ(N(Dump(doc)), N(Dump(fresh))) << c.label;
}

void Root(CXmlDocument& d) { ASSERT_TRUE(d.FindElement()); }

INSTANTIATE_TEST_SUITE_P(
    Xml, Edits,
    ::testing::Values(
        EditCase{"first element of an empty document", "",
                 [](CXmlDocument& d) { ASSERT_TRUE(d.AddElement(u"app")); }, "<app/>\r\n"},
        EditCase{"child of <p/>", "<p/>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.AddChildElement(u"a"));
                 },
                 "<p>\r\n<a/>\r\n</p>"},
        EditCase{"second child after the first", "<p/>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.AddChildElement(u"a", u"1"));
                   ASSERT_TRUE(d.AddChildElement(u"b", u"2"));
                 },
                 "<p>\r\n<a>1</a>\r\n<b>2</b>\r\n</p>"},
        EditCase{"child of an element with tags and no content", "<p></p>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.AddChildElement(u"a", u"", XML_ADD_SPACE_SLASH));
                 },
                 "<p>\r\n<a />\r\n</p>"},
        EditCase{"child of an unended start tag", "<r><p></r>",
                 [](CXmlDocument& d) {
                   Root(d);
                   d.IntoElement();
                   ASSERT_TRUE(d.FindElement(u"p"));
                   ASSERT_TRUE(d.AddChildElement(u"a", u"", XML_ADD_NO_BREAKS));
                 },
                 "<r><p><a/></p></r>"},
        EditCase{"before the first child", "<r id=\"r\"><a id=\"a\"/></r>",
                 [](CXmlDocument& d) {
                   Root(d);
                   d.IntoElement();
                   ASSERT_TRUE(d.FindElement(u"a"));
                   ASSERT_TRUE(d.AddElement(u"b", u"x", XML_ADD_BEFORE | XML_ADD_NO_BREAKS));
                 },
                 "<r id=\"r\"><b>x</b><a id=\"a\"/></r>"},
        EditCase{"siblings after elements with children", "<r><a><k/></a><c/></r>",
                 [](CXmlDocument& d) {
                   Root(d);
                   d.IntoElement();
                   ASSERT_TRUE(d.FindElement(u"a"));
                   ASSERT_TRUE(d.AddElement(u"b", u"", XML_ADD_NO_BREAKS));
                   ASSERT_TRUE(d.SetAttribute(u"id", u"b"));
                 },
                 "<r><a><k/></a><b id=\"b\"/><c/></r>"},
        EditCase{"replace and add attributes", "<r id=\"old\" x='1'><c id=\"c\"/></r>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.SetAttribute(u"id", u"new"));
                   ASSERT_TRUE(d.SetAttribute(u"x", 22));
                   ASSERT_TRUE(d.SetAttribute(u"y", u"3"));
                 },
                 "<r id=\"new\" x=\"22\" y=\"3\"><c id=\"c\"/></r>"},
        EditCase{"attribute on an empty element goes before />", "<p/>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.SetAttribute(u"a", u"1"));
                 },
                 "<p a=\"1\"/>"},
        EditCase{"escaping", "<p/>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.SetAttribute(u"v", u"<\"'&>"));
                   ASSERT_TRUE(d.AddChildElement(u"t", u"a<b&c", XML_ADD_NO_BREAKS));
                   ASSERT_TRUE(d.AddChildElement(u"k", u"&amp; &x", XML_ADD_NO_BREAKS | XML_ADD_KEEP_REFS));
                   ASSERT_TRUE(d.AddChildElement(u"c", u"x]]>y", XML_ADD_NO_BREAKS | XML_ADD_CDATA));
                 },
                 "<p v=\"&lt;&quot;&apos;&amp;&gt;\"><t>a&lt;b&amp;c</t><k>&amp; &amp;x</k>"
                 "<c><![CDATA[x]]]]><![CDATA[>y]]></c></p>"},
        EditCase{"remove the only child", "<p>\r\n<a/>\r\n</p>",
                 [](CXmlDocument& d) {
                   Root(d);
                   d.IntoElement();
                   ASSERT_TRUE(d.FindElement(u"a"));
                   ASSERT_TRUE(d.RemoveElement());
                 },
                 "<p>\r\n</p>"},
        EditCase{"remove in a find loop", "<r><x/><y id=\"y\"/><x/><x/><z id=\"z\"/></r>",
                 [](CXmlDocument& d) {
                   Root(d);
                   d.IntoElement();
                   int removed = 0;
                   while (d.FindElement(u"x")) {
                     ASSERT_TRUE(d.RemoveElement());
                     ++removed;
                   }
                   EXPECT_EQ(removed, 3);
                 },
                 "<r><y id=\"y\"/><z id=\"z\"/></r>"},
        // Found by fuzzing: edits must leave tags that parse as the records say.
        EditCase{"child of an empty element written with two slashes", "<a//>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.AddChildElement(u"n", u"", XML_ADD_NO_BREAKS));
                 },
                 "<a/ ><n/></a>"},
        EditCase{"child of an element whose name holds '<'", "<a<b/>",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.SetAttribute(u"id", u"1"));
                   ASSERT_TRUE(d.AddChildElement(u"n", u"", XML_ADD_NO_BREAKS));
                 },
                 "<a<b id=\"1\"><n/></a<b>"},
        EditCase{"attribute after an empty unquoted value", "<a b= />",
                 [](CXmlDocument& d) {
                   Root(d);
                   ASSERT_TRUE(d.SetAttribute(u"c", u"1"));
                 },
                 "<a b=  c=\"1\"/>"},
        EditCase{"start tag only", "",
                 [](CXmlDocument& d) {
                   ASSERT_TRUE(d.AddElement(u"s", u"", XML_ADD_START_TAG_ONLY));
                   ASSERT_TRUE(d.AddChildElement(u"c"));
                 },
                 "<s>\r\n<c/>\r\n</s>\r\n"}),
    testing_support::NamedBy(&EditCase::label));

TEST(XmlEdit, RefusedEditsChangeNothing) {
  CXmlDocument doc(u"<r/>");
  EXPECT_FALSE(doc.AddChildElement(u"a"));  // no current position
  EXPECT_FALSE(doc.SetAttribute(u"a", u"1"));
  EXPECT_FALSE(doc.RemoveElement());
  ASSERT_TRUE(doc.FindElement());
  EXPECT_FALSE(doc.AddChildElement(u"a", u"data", XML_ADD_START_TAG_ONLY));
  EXPECT_FALSE(doc.AddChildElement(u""));
  EXPECT_EQ(doc.GetDocument(), u"<r/>");
}

TEST(XmlEdit, NamesThatAreNoNamesAreRefused) {
  const std::u16string bad[] = {u"x><evil/",   u"q\" onload=\"x", u"a b", u"a\tb", u"a/b",
                                u"a=b",        u"a?",             u"a!",  u"a'",   u"a;b",
                                u"a\\b",       u"a[1]",           u"a&b", u"a\rb",
                                std::u16string(u"a\0b", 3)};
  for (const std::u16string& name : bad) {
    CXmlDocument doc(u"<r a=\"1\"><c/></r>");
    ASSERT_TRUE(doc.FindElement());
    EXPECT_FALSE(doc.AddChildElement(name)) << N(name);
    EXPECT_FALSE(doc.AddElement(name)) << N(name);
    EXPECT_FALSE(doc.SetAttribute(name, u"v")) << N(name);
    doc.IntoElement();
    ASSERT_TRUE(doc.FindElement(u"c"));
    doc.OutOfElement();
    EXPECT_FALSE(doc.SetChildAttribute(name, u"v")) << N(name);
    EXPECT_EQ(doc.GetDocument(), u"<r a=\"1\"><c/></r>") << N(name);
  }
  // Letters beyond ASCII, digits, '-', '.', '_' and ':' make names.
  CXmlDocument doc(u"<r/>");
  ASSERT_TRUE(doc.FindElement());
  EXPECT_TRUE(doc.AddChildElement(U("名字-1.x_y:z")));
  EXPECT_TRUE(doc.SetAttribute(U("属性"), u"v"));
  EXPECT_EQ(N(doc.GetDocument()), "<r 属性=\"v\">\r\n<名字-1.x_y:z/>\r\n</r>");
}

TEST(XmlEdit, EscapedValuesReadBackAsSet) {
  const std::u16string values[] = {u"<\"'&>", u"&amp;", u"a\"b'c", U("中文 &#65;")};
  for (const std::u16string& v : values) {
    CXmlDocument doc(u"<r/>");
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.SetAttribute(u"v", v));
    ASSERT_TRUE(doc.AddChildElement(u"d", v));
    CXmlDocument again(doc.GetDocument());
    ASSERT_TRUE(again.FindElement());
    EXPECT_EQ(again.GetAttribute(u"v"), v);
    again.IntoElement();
    ASSERT_TRUE(again.FindElement(u"d"));
    EXPECT_EQ(again.GetData(), v);
  }
}

TEST(XmlEdit, RequestBuiltLikeTheAgentProtocol) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.AddElement(u"request"));
  doc.SetAttribute(u"ver", u"1");
  doc.SetAttribute(u"method", u"GET");
  ASSERT_TRUE(doc.IntoElement());
  ASSERT_TRUE(doc.AddElement(u"cmd"));
  doc.SetAttribute(u"id", u"contact_del");
  ASSERT_TRUE(doc.AddChildElement(u"param"));
  ASSERT_TRUE(doc.SetChildAttribute(u"id", 42));
  EXPECT_EQ(N(doc.GetDocument()),
            "<request ver=\"1\" method=\"GET\">\r\n<cmd id=\"contact_del\">\r\n"
            "<param id=\"42\"/>\r\n</cmd>\r\n</request>\r\n");
  EXPECT_TRUE(doc.CheckDocument());
}

TEST(XmlEdit, ManyAdditionsStayConsistent) {
  CXmlDocument doc;
  for (int i = 0; i < 2000; ++i) {
    doc.ResetPosition();
    ASSERT_TRUE(doc.AddElement(u"app"));
    ASSERT_TRUE(doc.SetAttribute(u"id", i));
  }
  CXmlDocument fresh(doc.GetDocument());
  EXPECT_EQ(Dump(doc), Dump(fresh));
}

}  // namespace
