// Loading and saving files: marks, encodings, conversions and records.
#include <dirent.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_encoding.h"
#include "foundation/xml/tests/xml_test_util.h"
#include "foundation/base/tests/case_name.h"

namespace {

class XmlFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/xml_file_test.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    for (const std::string& f : files_) unlink(f.c_str());
    rmdir(dir_.c_str());
  }
  std::string Path(const std::string& name) {
    files_.push_back(dir_ + "/" + name);
    return files_.back();
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  // Names in the test's folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (const dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
      }
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string dir_;
  std::vector<std::string> files_;
};

struct LoadCase {
  const char* label;
  std::string bytes;
  const char* text;     // document text after loading (UTF-8 here)
  uint32_t flags;       // mark flags kept by the document
  const char* result;   // records of the load
};

class LoadCases : public XmlFile, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadCases, Load) {
  const LoadCase& c = GetParam();
  CXmlDocument doc;
  const std::string path = Write("in.xml", c.bytes);
  EXPECT_TRUE(doc.LoadFile(path)) << c.label;
  EXPECT_EQ(N(doc.GetDocument()), c.text) << c.label;
  EXPECT_EQ(doc.GetDocFlags(), c.flags) << c.label;
  EXPECT_EQ(N(doc.GetResult()), c.result) << c.label;
}

const std::string kGbkDeclared = std::string("<?xml version=\"1.0\" encoding=\"gb2312\"?><a>") +
                                 "\xD6\xD0\xCE\xC4" + "</a>";

INSTANTIATE_TEST_SUITE_P(
    Xml, LoadCases,
    ::testing::Values(
        LoadCase{"utf-8 with mark", "\xEF\xBB\xBF<a>\xE4\xB8\xAD</a>", "<a>中</a>", XML_DOC_UTF8BOM,
                 "<bom/><read encoding=\"UTF-8\" length=\"10\"/>"
                 "<converted_to encoding=\"UTF-16\" length=\"8\"/>"},
        LoadCase{"utf-16le with mark", std::string("\xFF\xFE<\0a\0/\0>\0", 10), "<a/>",
                 XML_DOC_UTF16LE, "<bom/><read encoding=\"UTF-16LE\" length=\"4\"/>"},
        LoadCase{"utf-16be with mark", std::string("\xFE\xFF\0<\0a\0/\0>", 10), "<a/>",
                 XML_DOC_UTF16BE,
                 "<bom/><read encoding=\"UTF-16BE\" length=\"4\"/><endian_swap/>"},
        LoadCase{"declared gb2312", kGbkDeclared,
                 "<?xml version=\"1.0\" encoding=\"gb2312\"?><a>中文</a>", 0,
                 "<read encoding=\"gb2312\" length=\"50\"/>"
                 "<converted_to encoding=\"UTF-16\" length=\"48\"/>"},
        LoadCase{"no mark, starts with <", "<a>\xE4\xB8\xAD</a>", "<a>中</a>", 0,
                 "<read encoding=\"UTF-8\" length=\"10\"/>"
                 "<converted_to encoding=\"UTF-16\" length=\"8\"/>"},
        LoadCase{"no mark, starts with text", " <a>\xE4\xB8\xAD</a>", " <a>中</a>", 0,
                 "<read encoding=\"UTF-8\" length=\"11\"/><utf8_detection/>"
                 "<converted_to encoding=\"UTF-16\" length=\"9\"/>"},
        LoadCase{"zero bytes dropped", std::string("<a>x\0y</a>", 10), "<a>xy</a>", 0,
                 "<read encoding=\"UTF-8\" length=\"10\"/><nulls_removed count=\"1\"/>"
                 "<converted_to encoding=\"UTF-16\" length=\"9\"/>"},
        LoadCase{"utf-16le without mark", std::string("<\0a\0>\0\x2D\x4E<\0/\0a\0>\0", 16), "<a>中</a>", 0,
                 "<read encoding=\"UTF-16LE\" length=\"8\"/>"},
        LoadCase{"utf-16be without mark", std::string("\0<\0a\0/\0>", 8), "<a/>", 0,
                 "<read encoding=\"UTF-16BE\" length=\"4\"/><endian_swap/>"},
        LoadCase{"utf-32le without mark", std::string("<\0\0\0a\0\0\0/\0\0\0>\0\0\0", 16), "<a/>", 0,
                 "<read encoding=\"UTF-32LE\" length=\"4\"/>"},
        LoadCase{"utf-32be without mark", std::string("\0\0\0<\0\0\0a\0\0\0/\0\0\0>", 16), "<a/>", 0,
                 "<read encoding=\"UTF-32BE\" length=\"4\"/><endian_swap/>"}),
    testing_support::NamedBy(&LoadCase::label));

TEST_F(XmlFile, UndeclaredGbkFailsTheUtf8Test) {
  // GBK "中文" is no valid UTF-8: the test fails and the ANSI page (UTF-8
  // here) replaces each byte.
  CXmlDocument doc;
  doc.LoadFile(Write("gbk.xml", " <a>\xD6\xD0\xCE\xC4</a>"));
  EXPECT_EQ(N(doc.GetResult()),
            "<read encoding=\"\" length=\"12\"/><utf8_detection/>"
            "<converted_to encoding=\"UTF-16\" length=\"12\"/>");
  EXPECT_EQ(doc.GetDocument(), u" <a>\xFFFD\xFFFD\xFFFD\xFFFD</a>");
}

TEST_F(XmlFile, SaveWritesTheMarkAgain) {
  CXmlDocument doc;
  const std::string in = Write("bom.xml", "\xEF\xBB\xBF<a/>");
  ASSERT_TRUE(doc.LoadFile(in));
  const std::string out = Path("bom-out.xml");
  ASSERT_TRUE(doc.SaveFile(out));
  EXPECT_EQ(Read(out), "\xEF\xBB\xBF<a/>");
  EXPECT_EQ(N(doc.GetResult()),
            "<bom/><converted_from encoding=\"UTF-16\" length=\"4\"/>"
            "<write encoding=\"UTF-8\" length=\"4\"/>");
}

TEST_F(XmlFile, Utf16RoundTrips) {
  for (const uint32_t mark : {XML_DOC_UTF16LE, XML_DOC_UTF16BE}) {
    CXmlDocument doc(U("<a>中</a>"));
    doc.SetDocFlags(mark);
    const std::string out = Path(mark == XML_DOC_UTF16LE ? "le.xml" : "be.xml");
    ASSERT_TRUE(doc.SaveFile(out));
    const std::string bytes = Read(out);
    EXPECT_EQ(bytes.substr(0, 2), mark == XML_DOC_UTF16LE ? "\xFF\xFE" : "\xFE\xFF");
    EXPECT_EQ(bytes.size(), 2u + 2 * 8);
    CXmlDocument back;
    ASSERT_TRUE(back.LoadFile(out));
    EXPECT_EQ(back.GetDocument(), doc.GetDocument());
    EXPECT_EQ(back.GetDocFlags(), mark);
  }
}

TEST_F(XmlFile, DeclaredWideEncodingsReadBack) {
  // Whatever the flags, a file this class writes loads back to its text; a
  // UTF-16 file gets its mark.
  const char* encodings[] = {"UTF-16", "utf-16le", "UTF-16BE", "unicode", "UTF-32", "utf-32be"};
  for (const char* encoding : encodings) {
    const std::u16string text =
        U(std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><a>中\xF0\x9F\x98\x80</a>");
    CXmlDocument doc(text);
    const std::string out = Path(std::string("wide-") + encoding + ".xml");
    ASSERT_TRUE(doc.SaveFile(out)) << encoding;
    CXmlDocument back;
    ASSERT_TRUE(back.LoadFile(out)) << encoding << ": " << N(back.GetResult());
    EXPECT_EQ(back.GetDocument(), text) << encoding;
  }
  CXmlDocument doc(U("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>"));
  const std::string out = Path("utf16-mark.xml");
  ASSERT_TRUE(doc.SaveFile(out));
  EXPECT_EQ(Read(out).substr(0, 4), std::string("\xFF\xFE<\0", 4));
  EXPECT_EQ(doc.GetDocFlags(), XML_DOC_UTF16LE);
  EXPECT_EQ(N(doc.GetResult()), "<bom/><write encoding=\"UTF-16\" length=\"43\"/>");
}

TEST_F(XmlFile, CallersUtf16ReadsSixteenBitUnits) {
  const std::string path = Write("units.txt", std::string("\0h\x4E\x2D", 4));
  std::u16string text, result;
  uint32_t flags = 0;
  const std::u16string encoding = u"UTF-16BE";
  ASSERT_TRUE(CXmlDocument::ReadTextFile(path, text, &result, &flags, &encoding));
  EXPECT_EQ(text, u"h中");
}

TEST_F(XmlFile, SavesInTheDeclaredEncoding) {
  CXmlDocument doc(U("<?xml version=\"1.0\" encoding=\"GBK\"?><a>中文</a>"));
  const std::string out = Path("gbk-out.xml");
  ASSERT_TRUE(doc.SaveFile(out));
  EXPECT_EQ(Read(out), "<?xml version=\"1.0\" encoding=\"GBK\"?><a>\xD6\xD0\xCE\xC4</a>");
  EXPECT_EQ(N(doc.GetResult()), "<converted_from encoding=\"UTF-16\" length=\"45\"/>"
                                "<write encoding=\"GBK\" length=\"47\"/>");
}

TEST_F(XmlFile, UnmappableCharactersAreReported) {
  CXmlDocument doc(U("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>é中</a>"));
  const std::string out = Path("loss.xml");
  ASSERT_TRUE(doc.SaveFile(out));
  EXPECT_NE(doc.GetResult().find(u"<conversion_loss/>"), std::u16string::npos);
  EXPECT_NE(Read(out).find("<a>\xE9?</a>"), std::string::npos);
}

TEST_F(XmlFile, MissingFileLeavesAnEmptyDocument) {
  CXmlDocument doc(u"<old/>");
  EXPECT_FALSE(doc.LoadFile(dir_ + "/missing.xml"));
  EXPECT_TRUE(doc.GetDocument().empty());
  EXPECT_FALSE(doc.FindElement());
  EXPECT_EQ(N(doc.GetResult()), "<file_error msg=\"No such file or directory\" n=\"2\"/>");
}

TEST_F(XmlFile, FolderIsNoFile) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadFile(dir_));
  EXPECT_EQ(N(doc.GetResult()), "<file_error msg=\"Is a directory\" n=\"21\"/>");
}

TEST_F(XmlFile, FailedSaveKeepsTheOldFile) {
  const std::string path = Write("keep.xml", "<old/>");
  CXmlDocument doc(U("<new>" + std::string(200, 'x') + "</new>"));
  // Files of this process may not grow past 64 bytes for the save.
  struct rlimit before {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  struct rlimit small = before;
  small.rlim_cur = 64;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = doc.SaveFile(path);
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  EXPECT_NE(N(doc.GetResult()).find("<file_error msg=\"File too large\" n=\"27\"/>"), std::string::npos)
      << N(doc.GetResult());
  EXPECT_EQ(Read(path), "<old/>");
  EXPECT_EQ(Entries(), std::vector<std::string>{"keep.xml"}) << "no temporary file stays behind";

  ASSERT_TRUE(doc.SaveFile(path));
  EXPECT_EQ(Read(path).substr(0, 5), "<new>");
  EXPECT_EQ(Entries(), std::vector<std::string>{"keep.xml"});
}

TEST_F(XmlFile, FailedSaveLeavesTheDocument) {
  CXmlDocument doc(u"<a/>");
  EXPECT_FALSE(doc.SaveFile(dir_ + "/no/such/folder/x.xml"));
  EXPECT_EQ(doc.GetDocument(), u"<a/>");
  EXPECT_NE(doc.GetResult().find(u"file_error"), std::u16string::npos);
}

TEST_F(XmlFile, EmptyFileReadsNothing) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadFile(Write("empty.xml", "")));  // loads, but has no root
  EXPECT_EQ(N(doc.GetResult()), "<read encoding=\"UTF-8\" length=\"0\"/><utf8_detection/>"
                                "<converted_to encoding=\"UTF-16\" length=\"0\"/>");
}

TEST_F(XmlFile, TaskListRoundTrip) {
  // The task list file: top-level app elements side by side, UTF-8.
  const std::string path = Path("downlist.dat");
  {
    CXmlDocument doc;
    doc.LoadFile(path);
    for (int i = 0; i < 3; ++i) {
      doc.ResetPosition();
      ASSERT_TRUE(doc.AddElement(u"app"));
      doc.SetAttribute(u"app_name", U("应用 & \"x\""));
      doc.SetAttribute(u"task_id", i);
    }
    ASSERT_TRUE(doc.SaveFile(path));
  }
  CXmlDocument doc;
  doc.LoadFile(path);
  int count = 0;
  while (doc.FindElement(u"app")) {
    EXPECT_EQ(doc.GetAttribute(u"app_name"), U("应用 & \"x\""));
    EXPECT_EQ(doc.GetAttribute(u"task_id"), std::u16string(1, u'0' + count));
    ++count;
  }
  EXPECT_EQ(count, 3);
}

}  // namespace

namespace {

// Every code page a name of the table stands for either converts, both
// ways, or fails as a whole: it never gives an empty text as if converted.
// The pages this platform has no converter for are listed; the pages whose
// converter has a name of its own show one of their national letters.
TEST(NamedCodePages, EachConvertsOrFailsAsAWhole) {
  const std::set<int> without_converter = {720,   853,   10001, 10002, 10003, 10004, 10005, 10006, 10008,
                                           10010, 10021, 10081, 10082, 20000, 20001, 20002, 20003, 20004,
                                           20005, 20105, 29001, 52936, 57002, 57003, 57004, 57005, 57006,
                                           57007, 57008, 57009, 57010, 57011};
  const std::map<int, std::pair<std::string, std::u16string>> letters = {
      {20106, {"[~", u"Äß"}},          {20107, {"]}", u"Åå"}},          {20108, {"[\\", u"ÆØ"}},
      {20261, {"\xC2" "a", u"á"}}, {20269, {"\xC2" "a", u"á"}},
  };
  const std::vector<int> pages = xml::NamedCodePages();
  ASSERT_GE(pages.size(), 110u);
  for (const int page : pages) {
    SCOPED_TRACE("code page " + std::to_string(page));
    const unsigned int cp = static_cast<unsigned int>(page);
    std::string bytes;
    std::u16string back;
    const bool to = Utf16ToCodePage(u"A", 1, cp, &bytes, nullptr);
    const bool from = CodePageToUtf16(bytes.data(), bytes.size(), cp, &back);
    if (without_converter.count(page) != 0) {
      EXPECT_FALSE(to);
      EXPECT_TRUE(bytes.empty());
      EXPECT_FALSE(CodePageToUtf16("A", 1, cp, &back));
      EXPECT_TRUE(back.empty());
      continue;
    }
    EXPECT_TRUE(to) << "no converter";
    if (!to) continue;
    EXPECT_FALSE(bytes.empty());
    EXPECT_TRUE(from);
    EXPECT_EQ(back, u"A");
    const auto letter = letters.find(page);
    if (letter == letters.end()) continue;
    ASSERT_TRUE(CodePageToUtf16(letter->second.first.data(), letter->second.first.size(), cp, &back));
    EXPECT_EQ(back, letter->second.second);
  }
}

// A file in an encoding this platform cannot convert is refused, not read
// as empty; saving in it fails and leaves the file as it was.
TEST_F(XmlFile, AnEncodingWithoutAConverterFailsTheLoadAndTheSave) {
  const std::string declared = "<?xml version=\"1.0\" encoding=\"x-iscii-de\"?><a>x</a>";
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadFile(Write("iscii.xml", declared)));
  EXPECT_EQ(doc.GetDocument(), u"");
  EXPECT_NE(N(doc.GetResult()).find("<file_error msg=\"Invalid argument\" n=\"22\"/>"), std::string::npos)
      << N(doc.GetResult());

  const std::string old = Write("old.xml", "<old/>");
  CXmlDocument save(U(declared));
  EXPECT_FALSE(save.SaveFile(old));
  EXPECT_EQ(Read(old), "<old/>");
  EXPECT_NE(N(save.GetResult()).find("<file_error msg=\"Invalid argument\" n=\"22\"/>"), std::string::npos)
      << N(save.GetResult());
  EXPECT_EQ(Entries(), (std::vector<std::string>{"iscii.xml", "old.xml"})) << "no temporary file is left";
}

TEST_F(XmlFile, PagesKnownToIconvByName) {
  // ISO-8859-1 has no "CP<n>" name in iconv; it must still convert.
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadFile(Write("latin1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>")));
  EXPECT_EQ(N(doc.GetDocument()), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>é</a>");
  ASSERT_TRUE(doc.FindElement(u"a"));
  ASSERT_TRUE(doc.AddChildElement(u"b", U("中"), XML_ADD_NO_BREAKS));
  const std::string out = Path("latin1-out.xml");
  ASSERT_TRUE(doc.SaveFile(out));
  EXPECT_EQ(Read(out), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9<b>?</b></a>");
  EXPECT_NE(doc.GetResult().find(u"<conversion_loss/>"), std::u16string::npos);
}

}  // namespace
