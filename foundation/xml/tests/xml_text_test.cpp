// References, the UTF-8 test, encoding names and declared encodings.
#include <gtest/gtest.h>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_encoding.h"
#include "foundation/xml/xml_result.h"
#include "foundation/xml/tests/xml_test_util.h"
#include "foundation/base/tests/case_name.h"

namespace {

struct DecodeCase {
  const char* in;
  const char* out;
};

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, References) {
  EXPECT_EQ(N(CXmlDocument::UnescapeText(U(GetParam().in).c_str())), GetParam().out)
      << GetParam().in;
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Decode,
    ::testing::Values(DecodeCase{"&#x41;&#65;&amp;", "AA&"},
                      DecodeCase{"&#X41;", "A"},
                      DecodeCase{"&unknown;", "&unknown;"},
                      DecodeCase{"&verylongname;", "&verylongname;"},  // more than 9 units
                      DecodeCase{"&thetasym;", "ϑ"},                   // exactly 9 with '#'-less name
                      DecodeCase{"&apos;&quot;&lt;&gt;&nbsp;", "'\"<>\xC2\xA0"},
                      // Names in two cases decode by their case.
                      DecodeCase{"&eacute;&Eacute;", "éÉ"},
                      DecodeCase{"&alpha;&Alpha;&sigma;&Sigma;", "αΑσΣ"},
                      DecodeCase{"&rarr;&rArr;&prime;&Prime;&dagger;&Dagger;", "→⇒′″†‡"},
                      // A case no name has still folds, to the capital form.
                      DecodeCase{"&EACUTE;&AMP;", "É&"},
                      DecodeCase{"&#x1F600;", "\xF0\x9F\x98\x80"},
                      DecodeCase{"&#0;&#xD800;&#x110000;&#12a;", "&#0;&#xD800;&#x110000;&#12a;"},
                      DecodeCase{"a & b &;", "a & b &;"},
                      DecodeCase{"&amp", "&amp"}),
    testing_support::NumberedBy(&DecodeCase::in));

TEST(XmlText, EscapeForms) {
  EXPECT_EQ(CXmlDocument::EscapeText(u"<a> & \"b\" 'c'", 0), u"&lt;a&gt; &amp; \"b\" 'c'");
  EXPECT_EQ(CXmlDocument::EscapeText(u"\"'", XML_ESCAPE_ATTRIBUTE), u"&quot;&apos;");
  EXPECT_EQ(CXmlDocument::EscapeText(u"&#65; &lt; &x-y.z; & &a b;", XML_ADD_KEEP_REFS),
            u"&#65; &lt; &x-y.z; &amp; &amp;a b;");
}

struct Utf8Case {
  const char* label;
  std::string bytes;
  bool valid;
  int multiByte;
  bool truncated;
};

class Utf8Tests : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Tests, Strict) {
  const Utf8Case& c = GetParam();
  const xml::Utf8Test t = xml::TestUtf8(c.bytes.data(), c.bytes.size());
  EXPECT_EQ(t.valid, c.valid) << c.label;
  EXPECT_EQ(t.multiByte, c.multiByte) << c.label;
  EXPECT_EQ(t.truncated, c.truncated) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Utf8Tests,
    ::testing::Values(Utf8Case{"ascii", "<a/>", true, 0, false},
                      Utf8Case{"chinese", "\xE4\xB8\xAD\xE6\x96\x87", true, 2, false},
                      Utf8Case{"four bytes", "\xF0\x9F\x98\x80", true, 1, false},
                      // GBK "中文" (D6 D0 CE C4): each lead byte is followed by
                      // another lead byte, never by a continuation byte.
                      Utf8Case{"gbk", "\xD6\xD0\xCE\xC4", false, 0, false},
                      Utf8Case{"continuation as lead", "\x80\x80", false, 0, false},
                      Utf8Case{"overlong slash", "\xC0\xAF", false, 0, false},
                      Utf8Case{"overlong three", "\xE0\x80\xAF", false, 0, false},
                      Utf8Case{"surrogate", "\xED\xA0\x80", false, 0, false},
                      Utf8Case{"above U+10FFFF", "\xF4\x90\x80\x80", false, 0, false},
                      Utf8Case{"cut at the end", "a\xE4\xB8", false, 0, true},
                      Utf8Case{"stops at zero", std::string("a\0\xFF", 3), true, 0, false}),
    testing_support::NamedBy(&Utf8Case::label));

TEST(XmlText, Utf8DecodingReplacesInvalidSequences) {
  EXPECT_EQ(xml::Utf8ToUtf16("a\xD6\xD0z", 4), u"a\xFFFD\xFFFDz");
  EXPECT_EQ(xml::Utf8ToUtf16("\xE4\xB8", 2), u"\xFFFD");
}

TEST(XmlText, CodePageNames) {
  EXPECT_EQ(xml::CodePageFromName(u""), 0);
  EXPECT_EQ(xml::CodePageFromName(u"GB2312"), 936);
  EXPECT_EQ(xml::CodePageFromName(u"gbk"), 936);
  EXPECT_EQ(xml::CodePageFromName(u"UTF-8"), 65001);
  EXPECT_EQ(xml::CodePageFromName(u"UTF-16BE"), 1201);
  EXPECT_EQ(xml::CodePageFromName(u"UTF-32LE"), xml::kCodePageUtf32);
  EXPECT_EQ(xml::CodePageFromName(u"utf-32"), 12000);
  EXPECT_EQ(xml::CodePageFromName(u"ISO_8859-1:1987"), 28591);
  EXPECT_EQ(xml::CodePageFromName(u"cp1256 "), 1256);
  EXPECT_EQ(xml::CodePageFromName(u"no-such-page"), -1);
  EXPECT_EQ(xml::CodePageFromName(std::u16string(100, u'a')), -1);
}

struct DeclaredCase {
  const char* text;
  const char* encoding;
};

class Declared : public ::testing::TestWithParam<DeclaredCase> {};

TEST_P(Declared, Encoding) {
  EXPECT_EQ(N(CXmlDocument::GetDeclaredEncoding(U(GetParam().text))), GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Declared,
    ::testing::Values(
        DeclaredCase{"<?xml version=\"1.0\" encoding=\"gb2312\"?><a/>", "gb2312"},
        DeclaredCase{"<?XML Encoding='UTF-16'?><a/>", "UTF-16"},
        DeclaredCase{"<?xml version=\"1.0\"?><a/>", ""},
        DeclaredCase{" <?xml encoding=\"gbk\"?><a/>", ""},  // not at offset 0
        DeclaredCase{"<html><head><META HTTP-EQUIV=\"content-type\" "
                     "content=\"text/html; charset=big5\"></head></html>",
                     "big5"},
        DeclaredCase{"<html><head></head><meta http-equiv=\"Content-Type\" "
                     "content=\"text/html; charset=big5\"></html>",
                     ""},
        DeclaredCase{"<body><meta http-equiv=\"Content-Type\" content=\"charset=x\"></body>", ""}),
    testing_support::NumberedBy(&DeclaredCase::text));

TEST(XmlResult, RecordsStopPastTheLimit) {
  std::u16string result;
  for (int i = 0; i < 200; ++i) xml::AddResultRecord(result, u"r", nullptr, 0, i);
  EXPECT_GT(result.size(), xml::kMaxResultLength);
  EXPECT_LT(result.size(), xml::kMaxResultLength + 40);
  CXmlDocument records(u"<x/>" + result);
  EXPECT_TRUE(records.FindElement(u"r"));
}

TEST(XmlResult, UpdateChangesTheFirstRecord) {
  std::u16string result;
  const std::u16string none, utf8 = u"UTF-8";
  xml::AddResultRecord(result, u"read", &none, xml::kRecordEncoding | xml::kRecordLength, 5);
  xml::AddResultRecord(result, u"read", &utf8, xml::kRecordEncoding | xml::kRecordUpdate);
  EXPECT_EQ(result, u"<read encoding=\"UTF-8\" length=\"5\"/>");
}

}  // namespace
