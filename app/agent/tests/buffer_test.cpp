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

TEST(BufferTest, ReadsStraightIntoItsRoomAndIsHandedOnWhole) {
  // A reader fills the room in pieces of every size up to the whole room;
  // the content is what was written, always zero-terminated.
  CBufferT<unsigned char> buffer(16);
  std::string expected;
  for (size_t want : {1u, 15u, 16u, 17u, 4096u, 3u, 100000u}) {
    size_t room = 0;
    unsigned char* to = buffer.AppendRoom(want, &room);
    ASSERT_NE(to, nullptr);
    ASSERT_GE(room, want);
    const size_t fill = want == 3u ? room : want;  // once the whole room
    for (size_t k = 0; k < fill; ++k) to[k] = static_cast<unsigned char>('a' + (expected.size() + k) % 26);
    for (size_t k = 0; k < fill; ++k) expected += static_cast<char>('a' + (expected.size()) % 26);
    buffer.Commit(fill);
    ASSERT_EQ(buffer.GetLength(), expected.size());
    ASSERT_EQ(buffer.GetData()[buffer.GetLength()], 0);
    ASSERT_LT(buffer.GetLength(), buffer.GetCapacity());
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.GetData()), buffer.GetLength()), expected);

  // Swap hands the memory over: no copy, and the other side gets the old.
  CBufferT<unsigned char> other(512);
  const unsigned char* data = buffer.GetData();
  const unsigned char* empty = other.GetData();
  other.Swap(buffer);
  EXPECT_EQ(other.GetData(), data);
  EXPECT_EQ(other.GetLength(), expected.size());
  EXPECT_EQ(buffer.GetData(), empty);
  EXPECT_EQ(buffer.GetLength(), 0u);
  EXPECT_EQ(buffer.GetData()[0], 0);
}
