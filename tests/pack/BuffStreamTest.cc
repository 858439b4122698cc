#include "pack/BuffStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qel {
namespace {

TEST(BuffStreamTest, ReadCopiesWhatIsLeftAndNothingFromBadPositions) {
  const char memory[] = "abcdef";
  TBuffStream stream;
  stream.SetBuffer(static_cast<const void*>(memory), 6);
  char out[8] = {};
  EXPECT_EQ(stream.Read(out, 4), 4);
  EXPECT_EQ(stream.Read(out + 4, 4), 2);
  EXPECT_STREQ(out, "abcdef");
  EXPECT_EQ(stream.Read(out, 1), 0);
  EXPECT_EQ(stream.Seek(-1, soBeginning), -1);
  EXPECT_EQ(stream.Read(out, 1), 0);
  EXPECT_EQ(stream.Seek(10, soEnd), 16);
  EXPECT_EQ(stream.Read(out, 1), 0);
  stream.Seek(0, soBeginning);
  EXPECT_EQ(stream.Read(out, -1), 0);
  EXPECT_EQ(stream.Position(), 0);
}

TEST(BuffStreamTest, WriteIsCutAtTheEndAndRefusedOutsideOrReadOnly) {
  char memory[6] = {};
  TBuffStream stream;
  stream.SetBuffer(static_cast<void*>(memory), 5);
  EXPECT_EQ(stream.Seek(3, soBeginning), 3);
  EXPECT_EQ(stream.Write("xyz", 3), 2);
  EXPECT_EQ(stream.Position(), 5);
  EXPECT_EQ(std::string(memory, 5), std::string("\0\0\0xy", 5));
  EXPECT_EQ(stream.Write("q", 1), 0);
  stream.Seek(-2, soCurrent);
  EXPECT_EQ(stream.Position(), 3);
  stream.Seek(-4, soCurrent);
  EXPECT_EQ(stream.Write("q", 1), 0);
  stream.Seek(0, soBeginning);
  EXPECT_EQ(stream.Write("q", -1), 0);

  stream.SetBuffer(static_cast<const void*>(memory), 5);
  EXPECT_EQ(stream.Write("q", 1), 0);
  EXPECT_EQ(memory[0], 0);
}

TEST(BuffStreamTest, SeekWrapsInsteadOfOverflowing) {
  TBuffStream stream;
  stream.SetBuffer(static_cast<const void*>(""), 0);
  stream.Seek(INT32_MAX, soBeginning);
  EXPECT_EQ(stream.Seek(1, soCurrent), INT32_MIN);
}

}  // namespace
}  // namespace qel
