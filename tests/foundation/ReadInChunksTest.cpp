// Reading a file piece by piece into an archive stream: the pieces, and the
// end of a file that is shorter than the size taken when it was opened.
#include "Handle.h"
#include "ReadInChunks.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ovtest::CTempDir;
using ovtest::WriteFileBytes;

class ReadInChunksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileBytes(_dir.File("f"), "0123456789"));
    _file.Reset(CreateFileA(_dir.File("f").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(_file);
  }

  CTempDir _dir;
  CFileHandle _file;
  char _buffer[4];
  std::vector<std::string> _pieces;
  uint64_t _done = 99;
};

TEST_F(ReadInChunksTest, HandsOverPiecesOfAtMostTheCapacity) {
  const auto sink = [&](const char* data, DWORD n) {
    _pieces.emplace_back(data, n);
    return true;
  };
  EXPECT_EQ(ChunkReadResult::kDone, ReadInChunks(_file.Get(), 10, _buffer, 4, sink, &_done));
  EXPECT_EQ((std::vector<std::string>{"0123", "4567", "89"}), _pieces);
  EXPECT_EQ(10u, _done);
}

TEST_F(ReadInChunksTest, StopsAtTheSizeAskedFor) {
  const auto sink = [&](const char* data, DWORD n) {
    _pieces.emplace_back(data, n);
    return true;
  };
  EXPECT_EQ(ChunkReadResult::kDone, ReadInChunks(_file.Get(), 5, _buffer, 4, sink, &_done));
  EXPECT_EQ((std::vector<std::string>{"0123", "4"}), _pieces);
}

TEST_F(ReadInChunksTest, FileShorterThanItsSizeEndsWhereTheFileEnds) {
  // As when another program shortened the file after its size was taken.
  const auto sink = [&](const char* data, DWORD n) {
    _pieces.emplace_back(data, n);
    return true;
  };
  EXPECT_EQ(ChunkReadResult::kDone, ReadInChunks(_file.Get(), 1000000, _buffer, 4, sink, &_done));
  EXPECT_EQ(10u, _done);
  EXPECT_EQ(3u, _pieces.size());
}

TEST_F(ReadInChunksTest, SinkAndReadFailuresEndTheReading) {
  int calls = 0;
  const auto refuse = [&](const char*, DWORD) { return ++calls < 2; };
  EXPECT_EQ(ChunkReadResult::kSinkFailed,
            ReadInChunks(_file.Get(), 10, _buffer, 4, refuse, &_done));
  EXPECT_EQ(2, calls);
  EXPECT_EQ(4u, _done);
  CFileHandle write_only(
      CreateFileA(_dir.File("w").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const auto any = [](const char*, DWORD) { return true; };
  EXPECT_EQ(ChunkReadResult::kReadFailed,
            ReadInChunks(write_only.Get(), 10, _buffer, 4, any, &_done));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

}  // namespace
