// EasyCurlGet against a loopback HTTP server.
#include "app/web/easy_curl_get.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "app/web/tests/loopback_server.h"

namespace {

TEST(EasyCurlGet, BodiesArriveWholeAndTerminated) {
  web_test::LoopbackServer http;
  http.server().Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.set_content("", "text/plain"); });
  http.server().Get("/chunks", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink& sink) {
      for (int i = 0; i < 50; ++i) {
        const std::string piece = "chunk" + std::to_string(i) + ";";
        sink.write(piece.data(), piece.size());
      }
      sink.done();
      return true;
    });
  });
  http.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("not here", "text/plain");
  });
  http.Start();

  EasyCurlGet get;
  EXPECT_TRUE(get.Perform((http.Base() + "/empty").c_str()));
  EXPECT_EQ(get.GetData(), nullptr);
  EXPECT_EQ(get.GetLength(), 0u);

  std::string expected;
  for (int i = 0; i < 50; ++i) expected += "chunk" + std::to_string(i) + ";";
  ASSERT_TRUE(get.Perform((http.Base() + "/chunks").c_str()));
  ASSERT_NE(get.GetData(), nullptr);
  EXPECT_EQ(std::string(get.GetData(), get.GetLength()), expected);
  EXPECT_EQ(std::strlen(get.GetData()), expected.size()) << "NUL right after the data";

  EXPECT_TRUE(get.Perform((http.Base() + "/missing").c_str())) << "HTTP statuses are not judged";
  EXPECT_EQ(std::string(get.GetData(), get.GetLength()), "not here");

  const std::string dead = http.Base() + "/x";
  http.Stop();
  EXPECT_FALSE(get.Perform(dead.c_str()));
  EXPECT_FALSE(get.Perform("file:///etc/hostname")) << "only http and https";
}

TEST(EasyCurlGet, WriteCallbackHandsDataToASink) {
  struct Sink : CurlWriteSink {
    std::string got;
    size_t OnData(const char* data, size_t size, size_t count, CurlResponseBuffer*) override {
      got.append(data, size * count);
      return size * count;
    }
  } sink;
  CurlResponseBuffer buffer;
  CurlWriteBinding binding{&buffer, &sink};
  char text[] = "abcdef";
  EXPECT_EQ(CurlWriteCallback(text, 2, 3, &binding), 6u);
  EXPECT_EQ(sink.got, "abcdef");
  EXPECT_EQ(buffer.data, nullptr) << "the buffer is left alone";
  CurlWriteBinding plain{&buffer, nullptr};
  EXPECT_EQ(CurlWriteCallback(text, 1, SIZE_MAX, &plain), 0u) << "a size that cannot be held";
  EXPECT_EQ(CurlWriteCallback(text, 1, 3, &plain), 3u);
  EXPECT_STREQ(buffer.data, "abc");
  free(buffer.data);
}

}  // namespace
