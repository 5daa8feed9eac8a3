// The map charge's progress blocks as a second reader sees them: the eight
// words written whole under the block's mutex, 64-bit values split low
// word first, and the message posted whether or not the block was there.
#include <gtest/gtest.h>

#include <thread>

#include "CoreMessages.h"
#include "CoreShareMem.h"
#include "CoreTestSupport.h"
#include "Handle.h"
#include "StringUtil.h"
#include "map/MapChargeProgress.h"

namespace {

class MapChargeProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    mapprogresstest::SetBlockNameTag(
        FormatString("_%s_%lu", info->name(), static_cast<unsigned long>(GetCurrentProcessId())));
  }
  void TearDown() override { mapprogresstest::SetBlockNameTag(std::string()); }

  // Creates the block as the core does.
  void Create(uint32_t phase) {
    ASSERT_EQ(block.Open(MapProgressBlockName(phase).c_str(), true, 32, true), 0u);
  }

  core::CBlockShareMem block;
  coretest::CRecorderWindow window;
};

TEST_F(MapChargeProgressTest, NamesAreTheCoresOwn) {
  mapprogresstest::SetBlockNameTag(std::string());
  EXPECT_EQ(MapProgressBlockName(kMapProgressDownload), "OVEVMapChargeDLProgress");
  EXPECT_EQ(MapProgressBlockName(kMapProgressTransfer), "OVEVMapChargeTRProgress");
}

TEST_F(MapChargeProgressTest, ASecondReaderSeesTheWordsInOrder) {
  Create(kMapProgressDownload);
  CMapProgressWriter writer(kMapProgressDownload);
  const uint64_t done = 0x123456789ull;
  const uint64_t total = 0xA00000001ull;
  EXPECT_EQ(writer.Publish(MapProgressWords::Make(1, 4096, 700, done, total), window.Get()), 0u);

  // A reader of its own, as the main program opens the block.
  ::CBlockShareMem reader;
  ASSERT_EQ(reader.Open(MapProgressBlockName(kMapProgressDownload).c_str()), 0u);
  ASSERT_EQ(WaitForSingleObject(reader.GetMutex(), 1000), WAIT_OBJECT_0);
  uint32_t words[8];
  memcpy(words, reader.GetView(), sizeof(words));
  ReleaseMutex(reader.GetMutex());
  const uint32_t expected[8] = {1, 4096, 700, 0, 0x23456789, 0x1, 0x00000001, 0xA};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(words[i], expected[i]) << "word " << i;

  coretest::PumpUntil([] { return false; }, 0);
  const auto posted = window.Of(coretest::Msg(kMsgMapProgress));
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wparam, 1u);
  EXPECT_EQ(posted[0].lparam, 0);
}

TEST_F(MapChargeProgressTest, AWriteWaitsForTheReadersMutex) {
  Create(kMapProgressTransfer);
  ::CBlockShareMem reader;
  ASSERT_EQ(reader.Open(MapProgressBlockName(kMapProgressTransfer).c_str()), 0u);
  ASSERT_EQ(WaitForSingleObject(reader.GetMutex(), 1000), WAIT_OBJECT_0);

  CHandle written(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread writer_thread([&] {
    CMapProgressWriter writer(kMapProgressTransfer);
    writer.Write(MapProgressWords::Make(2, 1, 2, 3, 0));
    SetEvent(written.Get());
  });
  // While the reader holds the mutex the words stay as they were.
  EXPECT_EQ(WaitForSingleObject(written.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
  uint32_t first = 0xFFFFFFFF;
  memcpy(&first, reader.GetView(), sizeof(first));
  EXPECT_EQ(first, 0u);
  ReleaseMutex(reader.GetMutex());
  EXPECT_EQ(WaitForSingleObject(written.Get(), 5000), WAIT_OBJECT_0);
  writer_thread.join();
  MapProgressWords read;
  ASSERT_EQ(ReadMapProgressBlock(kMapProgressTransfer, &read), 0u);
  EXPECT_EQ(read.words[0], 2u);
  EXPECT_EQ(read.Done(), 3u);
}

TEST_F(MapChargeProgressTest, AMissingBlockStillPostsTheMessage) {
  CMapProgressWriter writer(kMapProgressTransfer);
  EXPECT_NE(writer.Publish(MapProgressWords::Make(2, 0, 5, 5, 0), window.Get()), 0u);
  coretest::PumpUntil([] { return false; }, 0);
  const auto posted = window.Of(coretest::Msg(kMsgMapProgress));
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wparam, 2u);
}

}  // namespace
