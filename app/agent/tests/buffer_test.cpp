#include "app/agent/buffer_t.h"

#include <gtest/gtest.h>

#include <string>

TEST(BufferTest, ContentStaysZeroTerminated) {
  // Appends that land exactly on the capacity (a 512-byte reply into a
  // buffer of step 512) must still leave a zero behind the content.
  for (size_t size : {1u, 511u, 512u, 513u, 1024u, 4096u, 4097u}) {
    CBufferT<unsigned char> buffer(512);
    const std::string bytes(size, 'x');
    ASSERT_TRUE(buffer.Append(reinterpret_cast<const unsigned char*>(bytes.data()), size));
    ASSERT_EQ(buffer.GetLength(), size);
    ASSERT_GT(buffer.GetCapacity(), size);
    EXPECT_EQ(buffer.GetData()[size], 0) << size;
    CBufferT<unsigned char> copy(512);
    ASSERT_TRUE(copy.AppendBuffer(buffer));
    ASSERT_GT(copy.GetCapacity(), size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.GetData())), bytes);
  }
}

TEST(BufferTest, GrowsInPiecesAndKeepsContent) {
  CBufferT<unsigned char> buffer(16);
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    const std::string piece = std::to_string(i) + ",";
    expected += piece;
    ASSERT_TRUE(buffer.Append(reinterpret_cast<const unsigned char*>(piece.data()), piece.size()));
    ASSERT_EQ(buffer.GetData()[buffer.GetLength()], 0);
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.GetData()), buffer.GetLength()), expected);
  buffer.Clear();
  EXPECT_EQ(buffer.GetLength(), 0u);
  EXPECT_EQ(buffer.GetData()[0], 0);
  EXPECT_FALSE(buffer.Allocate(0));
  EXPECT_EQ(buffer.GetData(), nullptr);
  const unsigned char one = 'a';
  EXPECT_TRUE(buffer.Append(&one, 1));  // from no data at all
  EXPECT_EQ(buffer.GetData()[1], 0);
}

TEST(BufferTest, AReplyReadInSmallPiecesMovesOnlyAFewTimes) {
  // 8 MB in 4 KB reads: geometric growth moves the content a few dozen times,
  // not once per read (which made large replies quadratic).
  CBufferT<unsigned char> buffer(512);
  const std::string piece(4096, 'r');
  int moves = 0;
  const unsigned char* data = buffer.GetData();
  for (size_t total = 0; total < (8u << 20); total += piece.size()) {
    ASSERT_TRUE(buffer.Append(reinterpret_cast<const unsigned char*>(piece.data()), piece.size()));
    if (buffer.GetData() != data) ++moves, data = buffer.GetData();
  }
  EXPECT_EQ(buffer.GetLength(), 8u << 20);
  EXPECT_EQ(buffer.GetData()[buffer.GetLength()], 0);
  EXPECT_LT(moves, 40);
}
