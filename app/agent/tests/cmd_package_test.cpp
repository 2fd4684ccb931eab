// Request building and reply checks.
#include "app/agent/cmd_package.h"

#include <gtest/gtest.h>

#include <cstring>

#include "foundation/base/code_page.h"
#include "foundation/xml/xml_document.h"

namespace {

bool Check(CXmlDocument& document, const std::string& bytes) {
  CBufferT<unsigned char> buffer(512);
  buffer.Append(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return CheckResponse(document, buffer);
}

TEST(RequestXmlTest, EnvelopeAndParameterAsChildOfCmd) {
  CXmlDocument document;
  BuildRequestXml(document, u"package_icon", u"GET");
  document.AddChildElement(u"packageName");
  document.SetChildAttribute(u"value", u"com.zelvik.demo.notes");
  const std::string text = WStringToAnsi(document.GetDocument());
  EXPECT_EQ(text.find("<?xml"), std::string::npos);
  EXPECT_EQ(text.find("<request ver=\"1\" method=\"GET\">"), 0u) << text;

  CXmlDocument read;
  ASSERT_TRUE(read.SetDocument(document.GetDocument()));
  ASSERT_TRUE(read.FindElement(u"request"));
  ASSERT_TRUE(read.IntoElement());
  ASSERT_TRUE(read.FindElement(u"cmd"));
  EXPECT_EQ(read.GetAttribute(u"id"), u"package_icon");
  ASSERT_TRUE(read.IntoElement());
  ASSERT_TRUE(read.FindElement(u"packageName"));
  EXPECT_EQ(read.GetAttribute(u"value"), u"com.zelvik.demo.notes");
}

TEST(ReplyCheckTest, Envelopes) {
  struct Case {
    const char* name;
    std::string reply;
    bool ok;
  };
  const Case cases[] = {
      {"success", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response result=\"1\"><count>4</count></response>", true},
      {"result 0", "<response result=\"0\"/>", false},
      {"no result", "<response><count>4</count></response>", false},
      {"other root", "<reply result=\"1\"/>", false},
      {"empty", "", false},
      {"not xml", "sever alive", false},
      {"truncated", "<response result=\"1\"><count>4</co", false},
      // An icon reply: the XML, a NUL byte, then the picture.
      {"icon", std::string("<response result=\"1\"><packageName>a</packageName></response>") + '\0' + "\x89PNG<x>",
       true},
  };
  for (const Case& c : cases) {
    CXmlDocument document;
    EXPECT_EQ(Check(document, c.reply), c.ok) << c.name;
  }
}

TEST(ReplyCheckTest, PositionIsInsideResponse) {
  CXmlDocument document;
  ASSERT_TRUE(Check(document, "<response result=\"1\"><count>7</count></response>"));
  ASSERT_TRUE(document.FindElement(u"count"));
  EXPECT_EQ(document.GetData(), u"7");
}

TEST(ReplyCheckTest, StatusOfAnUnreachableAgent) {
  CmdResponse response;
  response.status = -1;
  EXPECT_FALSE(CheckResponseStatus(response));
  response.status = 0;
  EXPECT_TRUE(CheckResponseStatus(response));
}

TEST(TrimTest, BlanksOnly) {
  struct Case {
    std::string in, left, right, both;
  };
  const Case cases[] = {{"  a b  ", "a b  ", "  a b", "a b"},
                        {"\ta\t", "\ta\t", "\ta\t", "\ta\t"},
                        {"   ", "", "", ""},
                        {"", "", "", ""}};
  for (const Case& c : cases) {
    std::string l = c.in, r = c.in, b = c.in;
    TrimLeftSpaces(l);
    TrimRightSpaces(r);
    TrimSpaces(b);
    EXPECT_EQ(l, c.left);
    EXPECT_EQ(r, c.right);
    EXPECT_EQ(b, c.both);
  }
}

}  // namespace
