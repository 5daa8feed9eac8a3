// The map charge's completion notices against the stand-in: one request per
// unit with at most 100 notices, the notices the server refuses kept for
// the next run, and those that can never be sent dropped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CompleteNotifyFile.h"
#include "MapChargeTestSupport.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "map/DownloadNotice.h"
#include "map/MapCharge.h"

namespace {

using maptest::CMapChargeFixture;

constexpr char kReceiver[] = "/pcapp/ReceiverLiteAPI";

class MapChargeNoticeTest : public CMapChargeFixture {
 protected:
  void Store(const std::string& device, int count, uint32_t ccid = 0x00012345) {
    CCompleteNotifyFile file;
    for (int i = 0; i < count; ++i) {
      DownloadNotice notice;
      notice.ccid_head = ccid;
      notice.code = DownloadNotice::kDone;
      notice.data_kind = 5;
      notice.detail = static_cast<uint8_t>(i);
      notice.date = {2012, 3, 0, 4, 5, 6, 7, 0};
      notice.version = FormatString("2.%06X", i + 1);
      notice.device_no = device;
      ASSERT_TRUE(StoreDownloadNotice(file, notice));
    }
  }
  // The notices left in the file, by unit.
  CompleteNotifyMap Left() {
    CCompleteNotifyFile file;
    CompleteNotifyMap left;
    file.GetDownloadNotifyData(&left);
    return left;
  }
  std::vector<ovtest::StandInRequest> Notices() {
    std::vector<ovtest::StandInRequest> notices;
    for (const ovtest::StandInRequest& r : standin.Requests()) {
      if (r.path == kReceiver) notices.push_back(r);
    }
    return notices;
  }
};

TEST_F(MapChargeNoticeTest, EachUnitIsSentAndARefusedOneIsKept) {
  Store("1111", 1);
  Store("2222", 2);
  Store("3333", 1);
  ASSERT_TRUE(standin.Set(kReceiver, "refuse_deviceno=2222"));
  EXPECT_FALSE(charge.Notices().SendStored());
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  const std::vector<ovtest::StandInRequest> sent = Notices();
  ASSERT_EQ(sent.size(), 3u);
  const std::map<std::string, std::string>& form = sent[0].form;
  EXPECT_EQ(form.at("fc"), "4");
  EXPECT_FALSE(form.at("ccid_head").empty());
  EXPECT_EQ(form.at("deviceno"), "1111");
  EXPECT_EQ(form.at("count_data"), "1");
  EXPECT_EQ(form.at("type01_00"), "05");
  EXPECT_EQ(form.at("type02_00"), "00");
  EXPECT_EQ(form.at("cl_00"), "1");
  EXPECT_EQ(form.at("date_00"), "20120304050607");
  EXPECT_EQ(form.at("ver_00"), "2.000001");
  EXPECT_EQ(sent[1].form.at("count_data"), "2");

  const CompleteNotifyMap left = Left();
  ASSERT_EQ(left.size(), 1u);
  ASSERT_EQ(left.count("2222"), 1u);
  ASSERT_EQ(left.at("2222").size(), 2u);
  EXPECT_EQ(DownloadNotice::FromRecord(left.at("2222")[1]).version, "2.000002");
  EXPECT_TRUE(log.Contains("CMapCharge::_EndNotify - 完了通知時のレスポンスエラー"));
}

TEST_F(MapChargeNoticeTest, AtMostAHundredNoticesGoInOneRequest) {
  Store("1111", 150);
  EXPECT_TRUE(charge.Notices().SendStored());
  const std::vector<ovtest::StandInRequest> sent = Notices();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].form.at("count_data"), "100");
  EXPECT_EQ(sent[0].form.at("ver_99"), FormatString("2.%06X", 100));
  EXPECT_EQ(sent[1].form.at("count_data"), "50");
  EXPECT_EQ(sent[1].form.at("ver_00"), FormatString("2.%06X", 101));
  EXPECT_TRUE(Left().empty());
}

TEST_F(MapChargeNoticeTest, NoticesWithoutAUnitAreDropped) {
  Store("", 2);
  EXPECT_TRUE(charge.Notices().SendStored());
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  EXPECT_TRUE(Notices().empty());
  EXPECT_TRUE(Left().empty());
  EXPECT_TRUE(log.Contains("CMapCharge::_EndNotify - DeviceNo未指定"));
}

TEST_F(MapChargeNoticeTest, AServerErrorKeepsTheNoticesForTheNextRun) {
  Store("1111", 3);
  ASSERT_TRUE(standin.Set(kReceiver, "status=500"));
  EXPECT_FALSE(charge.Notices().SendStored());
  EXPECT_EQ(charge.GetErrorCode(), 0u);
  const CompleteNotifyMap left = Left();
  ASSERT_EQ(left.count("1111"), 1u);
  EXPECT_EQ(left.at("1111").size(), 3u);
  EXPECT_TRUE(log.Contains("完了通知時のエラー[RES:0x100001F4]"));
}

TEST_F(MapChargeNoticeTest, OnlyWhatTheServerTookLeavesTheFile) {
  Store("1111", 2);
  // A record of another kind is no download notice: it is not sent and
  // stays.
  CCompleteNotifyFile other;
  const uint32_t values[4] = {1, 2, 3, 4};
  const uint8_t block[16] = {};
  ASSERT_TRUE(other.AddNotifyData(7, values, block, "other kind", "1111"));
  Store("2222", 1);
  ASSERT_TRUE(standin.Set(kReceiver, "refuse_deviceno=2222"));
  EXPECT_FALSE(charge.Notices().SendStored());

  CCompleteNotifyFile file;
  ASSERT_TRUE(file.ReadFile());
  ASSERT_EQ(file.Records().size(), 2u);
  size_t others = 0;
  for (const CompleteNotifyRecord& record : file.Records()) {
    if (record.type == 7) {
      ++others;
      EXPECT_EQ(record.text, "other kind");
    } else {
      EXPECT_EQ(record.device_no, "2222");
    }
  }
  EXPECT_EQ(others, 1u);
}

TEST_F(MapChargeNoticeTest, NothingStoredSendsNothing) {
  EXPECT_TRUE(charge.Notices().SendStored());
  EXPECT_TRUE(Notices().empty());
}

}  // namespace
