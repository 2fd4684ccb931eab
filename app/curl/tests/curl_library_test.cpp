#include "app/curl/curl_library.h"

#include <gtest/gtest.h>

#include "app/adb/tests/closed_port.h"

namespace {

TEST(CurlLibrary, AMissingOrForeignLibraryIsAClearFailure) {
  struct Case {
    const char* file;
    const char* reason;  // part of the error text
  };
  const Case cases[] = {
      {"libno-such-curl.so.4", "libno-such-curl.so.4"},
      {"libc.so.6", "has no curl_global_init"},  // opens, but is not libcurl
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    curl_library::Functions functions{};
    std::string error;
    EXPECT_FALSE(curl_library::OpenLibrary(c.file, &functions, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(functions.easy_init, nullptr);
  }
}

TEST(CurlLibrary, OpensOnFirstUseAndReportsARefusedConnection) {
  ASSERT_EQ(curl_library::GlobalInit(CURL_GLOBAL_ALL), CURLE_OK);
  CURL* curl = curl_library::EasyInit();
  ASSERT_NE(curl, nullptr);
  testing_support::ClosedPort port;
  ASSERT_NE(port.port(), 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(port.port()) + "/";
  curl_slist* headers = curl_library::SlistAppend(nullptr, "X-Test: 1");
  EXPECT_EQ(curl_library::EasySetopt(curl, CURLOPT_URL, url.c_str()), CURLE_OK);
  EXPECT_EQ(curl_library::EasySetopt(curl, CURLOPT_HTTPHEADER, headers), CURLE_OK);
  EXPECT_EQ(curl_library::EasySetopt(curl, CURLOPT_CONNECTTIMEOUT, 5L), CURLE_OK);
  const CURLcode code = curl_library::EasyPerform(curl);
  EXPECT_EQ(code, CURLE_COULDNT_CONNECT);
  EXPECT_STREQ(curl_library::EasyStrerror(code), "Couldn't connect to server");
  curl_library::SlistFreeAll(headers);
  curl_library::EasyCleanup(curl);
  curl_library::GlobalCleanup();
}

}  // namespace
