// The map charge's transfer step onto a test card: every downloaded record
// rebuilt, copied and verified in order, with the card checks and the
// link-file update of the run; search data in numbered folders; the plain
// download list for the unit; records already on the card; a card that is
// full after the first data set; and the failures that end the transfer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "CoreMessages.h"
#include "MapDataTestSupport.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "map/MapCharge.h"
#include "map/RecoverFile.h"
#include "util/GZipIF.h"

namespace {

using mapdata::CDataImage;
using mapdata::CMapDataFixture;

struct VolumeCall {
  bool whole;
  uint8_t kind;
};

struct LinkCall {
  uint8_t kind;
  int topic_no;
};

class MapChargeTransmitTest : public CMapDataFixture {
 protected:
  void SetUp() override {
    CMapDataFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    charge.SetStore(&store);
    CMapTransfer::CardSteps steps;
    steps.check_volume = [this](bool whole, const CDownloadListData& record) {
      if (volume_calls.empty()) start_block = ReadBlock(kMapProgressTransfer);
      volume_calls.push_back({whole, record.data_kind});
      return volume_answer(whole, record);
    };
    steps.update_link = [this](const CDownloadListData& record, int topic_no) {
      link_calls.push_back({record.data_kind, topic_no});
      return link_answer;
    };
    charge.Transfer().SetCardSteps(steps);
  }
  // A downloaded data set in the data folder, planned for the transfer.
  void Downloaded(const CDownloadListData& record, const CDataImage& image) {
    const std::string folder =
        mapdata::SetFolder(data_folder, record.data_kind, record.detail, record.version);
    ASSERT_TRUE(mapdata::LayOut(folder, "DATA.CNF", image));
    ASSERT_TRUE(mapdata::Register(data_folder, record.data_kind, record.detail, record.version));
    records.push_back(record);
    CDownloadList list;
    std::vector<core::ConnectionParameterData> parameters;
    Plan(records, &list, &parameters);
    charge.SetDownloadPlan(list, parameters);
  }
  // Two small data sets; the card's check of the second one fails with code.
  void TwoDataSets(uint32_t code) {
    CDataImage first("ONE\\");
    first.File("one.dat", "first", 5);
    CDataImage second("TWO\\");
    second.File("two.dat", "second", 5);
    Downloaded(Record(2, 1, "1.000010", 1), first);
    Downloaded(Record(3, 0, "2.000002", 1), second);
    volume_answer = [this, code](bool whole, const CDownloadListData& record) {
      if (whole || record.data_kind == 2) return true;
      charge.SetErrorCode(code);
      return false;
    };
  }
  std::vector<uint32_t> Percentages() const {
    Drain();
    std::vector<uint32_t> out;
    for (const auto& message : window.Of(coretest::Msg(kMsgNotifyProgress))) {
      out.push_back(static_cast<uint32_t>(message.wparam));
    }
    return out;
  }
  bool Exists(const std::string& path) const {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  coretest::CFakeStore store;
  std::vector<CDownloadListData> records;
  std::vector<VolumeCall> volume_calls;
  std::vector<LinkCall> link_calls;
  std::function<bool(bool, const CDownloadListData&)> volume_answer =
      [](bool, const CDownloadListData&) { return true; };
  bool link_answer = true;
  MapProgressWords start_block;
};

TEST_F(MapChargeTransmitTest, CopiesEveryRecordInOrderAndReportsIt) {
  CDataImage map("MAP\\");
  map.File("map.dat", mapdata::Pattern(30000), 7000, 0x2000);
  CDataImage search("PC\\SEARCH\\");
  search.File("index.dat", "search one", 4);
  CDataImage search2("PC\\SEARCH\\");
  search2.File("index.dat", "search two", 4);
  CDataImage program("APP\\");
  program.File("app.bin", "the program", 5);
  Downloaded(Record(2, 1, "1.000010", 1), map);
  Downloaded(Record(4, 0, "1.000003", 1), search);
  Downloaded(Record(4, 1, "1.000004", 1), search2);
  Downloaded(Record(3, 0, "2.000002", 1), program);
  // The plain list goes to the card with the unit's program.
  const std::string plain = dir.File("DL.LST.plain");
  ASSERT_TRUE(ovtest::WriteFileBytes(plain, "00,03,00,2.000002,2012,1,0,0,0,0,,\r\n"));
  const std::string packed = data_folder + "DL.LST";
  ASSERT_TRUE(CGZipIF().GZipFile(plain, packed));
  charge.SetDLListPath(packed);

  ASSERT_TRUE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("MAP\\map.dat")), mapdata::Pattern(30000));
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("PC\\SEARCH1\\index.dat")), "search one");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("PC\\SEARCH2\\index.dat")), "search two");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("APP\\app.bin")), "the program");
  EXPECT_EQ(ovtest::ReadFileOrEmpty(card.Path("PC\\DL.LST")), ovtest::ReadFileOrEmpty(plain));

  const uint64_t total = 30000 + 10 + 10 + 11;
  EXPECT_EQ(charge.GetTransferTotal(), total);
  // The start write carries the total; the reader keeps it.
  EXPECT_EQ(start_block.words[0], 2u);
  EXPECT_EQ(start_block.Total(), total);
  EXPECT_EQ(start_block.Done(), 0u);
  EXPECT_EQ(ReadBlock(kMapProgressTransfer).Done(), total);

  ASSERT_EQ(volume_calls.size(), 5u);
  EXPECT_TRUE(volume_calls[0].whole);
  EXPECT_EQ(volume_calls[0].kind, 2);
  for (size_t i = 1; i < volume_calls.size(); ++i) EXPECT_FALSE(volume_calls[i].whole);
  ASSERT_EQ(link_calls.size(), 4u);
  const int topics[] = {0, 1, 2, 2};
  for (size_t i = 0; i < link_calls.size(); ++i) EXPECT_EQ(link_calls[i].topic_no, topics[i]);

  const std::vector<uint32_t> percentages = Percentages();
  ASSERT_EQ(percentages.size(), 4u);
  EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
  EXPECT_GE(percentages.front(), 55u);
  EXPECT_EQ(percentages.back(), 100u);
  size_t copied = 0;
  size_t verified = 0;
  for (const auto& message : window.Of(coretest::Msg(kMsgMapProgress))) {
    if (message.wparam == 2 && message.lparam == 1) ++copied;
    if (message.wparam == 2 && message.lparam == 2) ++verified;
  }
  EXPECT_EQ(copied, 4u);
  EXPECT_EQ(verified, 4u);
  ASSERT_EQ(window.Count(coretest::Msg(kMsgMapProgressStart)), 1u);
  EXPECT_EQ(window.Of(coretest::Msg(kMsgMapProgressStart))[0].wparam, 2u);

  ASSERT_EQ(store.card_history.size(), 4u);
  EXPECT_EQ(store.card_history[0].stage, 2u);
  EXPECT_EQ(store.card_history[0].id, 0x30020001u);
  EXPECT_EQ(store.card_history[0].data_version, 0x01000010u);
  EXPECT_EQ(store.card_history[1].id, 0x30010002u);
}

TEST_F(MapChargeTransmitTest, AMapAlreadyOnTheCardIsNotCopiedAgain) {
  CDataImage map("MAP\\");
  map.File("map.dat", "map set", 3);
  const CDownloadListData record = Record(0, 0, "1.000010", 1);
  Downloaded(record, map);
  charge.SetMapUpdateFlag(true);
  ASSERT_TRUE(charge.Transfer().Start());
  EXPECT_TRUE(charge.GetMapUpdateFlag());

  // The core's link file says 1.000010, the unit still has 1.000003.
  ovtest::CCardMaker link = maptest::DefaultCard();
  link.Records().clear();
  link.AddRecord(0x30010001, 0x01000010, 0x2012, 0);
  ASSERT_TRUE(link.WriteFile(CPcLinkFile::LinkPath(card.Letter())));
  log.Clear();
  ASSERT_TRUE(charge.Transfer().Start());
  EXPECT_TRUE(log.Contains("転送済み判定 KIND:0"));
  EXPECT_FALSE(log.Contains("転送開始 KIND:0"));
  EXPECT_FALSE(charge.GetMapUpdateFlag());
  EXPECT_EQ(charge.GetTransferTotal(), 0u);
  EXPECT_EQ(link_calls.size(), 2u);
}

TEST_F(MapChargeTransmitTest, ACardFullAfterTheFirstDataSetKeepsWhatWasCopied) {
  TwoDataSets(0x350109);
  EXPECT_TRUE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_TRUE(Exists(card.Path("ONE\\one.dat")));
  EXPECT_FALSE(Exists(card.Path("TWO")));
  EXPECT_EQ(link_calls.size(), 1u);
}

TEST_F(MapChargeTransmitTest, AnyOtherCardFailureEndsTheTransferWithItsCode) {
  TwoDataSets(0x35FFFF);
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x35FFFFu);

  // Full already before the first data set: nothing stands.
  volume_answer = [this](bool whole, const CDownloadListData&) {
    if (whole) return true;
    charge.SetErrorCode(0x350109);
    return false;
  };
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x350109u);
}

TEST_F(MapChargeTransmitTest, FailuresOfTheDataSetsEndTheTransfer) {
  mapdata::DataFile spoiled;
  spoiled.name = "map.dat";
  spoiled.content = "a rebuilt file whose CRC the image does not have";
  spoiled.crc_xor = 0x0101;
  CDataImage image("MAP\\");
  image.File(spoiled);
  const CDownloadListData record = Record(2, 1, "1.000010", 1);
  Downloaded(record, image);
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x350210u);
  EXPECT_TRUE(link_calls.empty());
  EXPECT_TRUE(store.card_history.empty());
  EXPECT_TRUE(log.Contains("転送失敗 RET:0x00350210"));

  // A record whose download left nothing to transfer fails in the sizes.
  CDataImage fine("MAP\\");
  fine.File("map.dat", "fine", 2);
  Downloaded(Record(2, 1, "1.000010", 1), fine);
  CDownloadList list;
  std::vector<core::ConnectionParameterData> parameters;
  Plan({Record(3, 0, "9.000009", 1)}, &list, &parameters);
  charge.SetDownloadPlan(list, parameters);
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x50240u);

  Plan({record}, &list, &parameters);
  charge.SetDownloadPlan(list, parameters);
  link_answer = false;
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x30FF03u);
}

TEST_F(MapChargeTransmitTest, WhatEndsTheTransferBeforeAnyCopy) {
  // Nothing planned.
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0xFF02u);
  Drain();
  EXPECT_EQ(window.Count(coretest::Msg(kMsgMapProgressStart)), 1u);

  CDataImage image("MAP\\");
  image.File("map.dat", "map", 2);
  Downloaded(Record(2, 1, "1.000010", 1), image);
  SetEvent(abort_event.Get());
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x5FF00u);
  ResetEvent(abort_event.Get());

  // A run that did not say how to check the card copies nothing.
  charge.Transfer().SetCardSteps(CMapTransfer::CardSteps());
  EXPECT_FALSE(charge.Transfer().Start());
  EXPECT_EQ(charge.GetErrorCode(), 0x5FFFFu);
  EXPECT_FALSE(Exists(card.Path("MAP")));
}

}  // namespace
