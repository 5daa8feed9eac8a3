// The probe-traffic charge's reading of its server replies: the binary
// traffic reply (type, error numbers, the variable length field, the
// oversize trailer) and the text reply of the one-time-password request.
// Nothing here touches the network or a card.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "info/DataManager.h"
#include "info/InfoChargeTidewheel.h"

namespace {

using Bytes = std::vector<uint8_t>;
using TidewheelPtr = std::unique_ptr<CInfoChargeTidewheel, ChargeDeleter>;

TidewheelPtr MakeCharge() { return TidewheelPtr(new CInfoChargeTidewheel()); }

bool StoreHoldsCredentials() {
  uint32_t size = 0;
  CDataManager::GetInstance().GetData(CDataManager::kKeyTidewheelCredentials, nullptr, &size);
  return size != 0;
}

// --- The length field and the data part ---------------------------------

struct DataCase {
  const char* name;
  Bytes reply;
  uint32_t code;
  uint32_t offset;  // of the data, when accepted
  uint32_t length;
};
void PrintTo(const DataCase& c, std::ostream* os) { *os << c.name; }

class TrafficDataTest : public ::testing::TestWithParam<DataCase> {};

TEST_P(TrafficDataTest, ReadsTheLengthFieldAndNeverPastTheReply) {
  const DataCase& c = GetParam();
  auto charge = MakeCharge();
  Bytes reply = c.reply;
  uint8_t* data = nullptr;
  uint32_t length = 1234;
  EXPECT_EQ(c.code, charge->CheckTrafficData(reply.data(), static_cast<uint32_t>(reply.size()),
                                             &data, &length));
  if (c.code != 0) {
    EXPECT_EQ(nullptr, data);
    EXPECT_EQ(0u, length);
    return;
  }
  ASSERT_NE(nullptr, data);
  EXPECT_EQ(c.offset, static_cast<uint32_t>(data - reply.data()));
  EXPECT_EQ(c.length, length);
  EXPECT_LE(c.offset + c.length, reply.size());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TrafficDataTest,
    ::testing::Values(
        DataCase{"OneByteField", {0x4F, 0x04, 'a', 'b', 'c'}, 0, 2, 3},
        DataCase{"TwoByteField", {0x4F, 0x40, 0x05, 'a', 'b', 'c'}, 0, 3, 3},
        DataCase{"ThreeByteField", {0x4F, 0x80, 0x00, 0x05, 'a', 'b'}, 0, 4, 2},
        DataCase{"FourByteField", {0x4F, 0xC0, 0x00, 0x00, 0x05, 'a'}, 0, 5, 1},
        DataCase{"MoreReceivedThanAnnounced", {0x4F, 0x03, 'a', 'b', 'c', 'd'}, 0, 2, 2},
        // 0x85: top bits 10, so three bytes make the length 0x050000 + ...
        DataCase{"ByteEightyFiveReadsThreeBytes", {0x4F, 0x85, 0x00, 0x05, 'a', 'b'}, 0x99, 0, 0},
        DataCase{"AnnouncesOneByteMore", {0x4F, 0x05, 'a', 'b', 'c'}, 0x99, 0, 0},
        DataCase{"AnnouncesFiveBytesMore", {0x4F, 0x09, 'a', 'b', 'c'}, 0x99, 0, 0},
        DataCase{"ShorterThanItsField", {0x4F, 0xC0, 0x00}, 0x99, 0, 0},
        DataCase{"TypeAlone", {0x4F}, 0x99, 0, 0},
        DataCase{"LengthSmallerThanField", {0x4F, 0x80, 0x00, 0x02, 'a'}, 0x99, 0, 0},
        DataCase{"LengthEqualsFieldNoData", {0x4F, 0x01, 'a'}, 0x99, 0, 0},
        DataCase{"LengthZero", {0x4F, 0x00, 'a'}, 0x99, 0, 0},
        DataCase{"NotADataReply", {0x50, 0x02, 'a'}, 0x99, 0, 0}),
    ovtest::CaseName());

TEST(TrafficDataTrailerTest, OversizeTrailerIsLoggedAndItsMarkCleared) {
  ovtest::CLogCapture log;
  auto charge = MakeCharge();
  Bytes reply = {0x4F, 0x09, 'a', 'b', 'c', 0xFF, 0x04, 0x01, 0x23, 0x00};
  uint8_t* data = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(0u, charge->CheckTrafficData(reply.data(), static_cast<uint32_t>(reply.size()), &data,
                                         &length));
  EXPECT_EQ(8u, length);
  EXPECT_EQ(Bytes({'a', 'b', 'c', 0x00, 0x04, 0x01, 0x23, 0x00}), Bytes(data, data + length));
  EXPECT_TRUE(log.Contains("渋滞情報サイズ超過(続行) 0123"));
}

TEST(TrafficDataTrailerTest, NoTrailerLeavesTheDataAlone) {
  auto charge = MakeCharge();
  Bytes reply = {0x4F, 0x09, 'a', 'b', 'c', 0xFF, 0x05, 0x01, 0x23, 0x00};
  const Bytes before = reply;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(0u, charge->CheckTrafficData(reply.data(), static_cast<uint32_t>(reply.size()), &data,
                                         &length));
  EXPECT_EQ(before, reply);
}

TEST(TrafficDataTrailerTest, EveryCutOfAGoodReplyIsRejectedWithoutACrash) {
  auto charge = MakeCharge();
  Bytes whole = {0x4F, 0x40, 0x0A};
  for (int i = 0; i < 8; ++i) whole.push_back(static_cast<uint8_t>(0xA0 + i));
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    Bytes reply(whole.begin(), whole.begin() + cut);
    uint8_t* data = nullptr;
    uint32_t length = 0;
    EXPECT_NE(0u, charge->CheckTrafficData(cut ? reply.data() : nullptr, static_cast<uint32_t>(cut),
                                           &data, &length));
    EXPECT_EQ(nullptr, data);
  }
}

// --- The reply's type and error numbers ---------------------------------

struct ResponseCase {
  const char* name;
  Bytes reply;
  uint32_t code;
};
void PrintTo(const ResponseCase& c, std::ostream* os) { *os << c.name; }

class ServerResponseTest : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(ServerResponseTest, MapsTypeAndErrorNumber) {
  const ResponseCase& c = GetParam();
  auto charge = MakeCharge();
  EXPECT_EQ(c.code, charge->CheckServerResponse(static_cast<uint32_t>(c.reply.size()),
                                                c.reply.empty() ? nullptr : c.reply.data()));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ServerResponseTest,
    ::testing::Values(ResponseCase{"Empty", {}, 0x20000F},
                      ResponseCase{"Data", {0x4F, 0x02, 'a'}, 0},
                      ResponseCase{"Error0001", {0xFF, 0x00, 0x00, 0x01}, 0x200010},
                      ResponseCase{"Error0010", {0xFF, 0x00, 0x00, 0x10}, 0x200017},
                      ResponseCase{"Error0100NothingToDo", {0xFF, 0x00, 0x01, 0x00}, 0xFF02},
                      ResponseCase{"Error0102", {0xFF, 0x00, 0x01, 0x02}, 0x200014},
                      ResponseCase{"Error0104", {0xFF, 0x00, 0x01, 0x04}, 0x200015},
                      ResponseCase{"Error0105", {0xFF, 0x00, 0x01, 0x05}, 0x200016},
                      ResponseCase{"ErrorFFFE", {0xFF, 0x00, 0xFF, 0xFE}, 0x200012},
                      ResponseCase{"ErrorFFFFExpired", {0xFF, 0x00, 0xFF, 0xFF}, 0x200011},
                      ResponseCase{"UnknownNumber", {0xFF, 0x00, 0x12, 0x34}, 0x200099},
                      ResponseCase{"ErrorWithoutItsNumber", {0xFF, 0x00, 0xFF}, 0x200099},
                      ResponseCase{"UnknownType", {0x41, 0x00}, 0x200099}),
    ovtest::CaseName());

TEST(ServerResponseExpiryTest, ExpiryForgetsTheCredentials) {
  ASSERT_TRUE(CDataManager::GetInstance().SetData(CDataManager::kKeyTidewheelCredentials, "x", 1));
  auto charge = MakeCharge();
  ASSERT_EQ(0u, charge->TakeOneTimePasswordReply(
                    "RESULT=C00\r\nCCID=0123456789ABCDEF\r\nPASS=pw345678\r\n"));
  const Bytes expired = {0xFF, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(0x200011u, charge->CheckServerResponse(4, expired.data()));
  EXPECT_FALSE(StoreHoldsCredentials());
  EXPECT_EQ(0, charge->GetCredentials().ccid[0]);
  EXPECT_EQ(0, charge->GetCredentials().password[0]);
}

// --- The one-time-password reply ----------------------------------------

struct PasswordCase {
  const char* name;
  const char* reply;
  uint32_t code;
  uint32_t result_word;  // kept when accepted
};
void PrintTo(const PasswordCase& c, std::ostream* os) { *os << c.name; }

class PasswordReplyTest : public ::testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordReplyTest, TakesCredentialsOnlyWhenTheyAreThere) {
  const PasswordCase& c = GetParam();
  auto charge = MakeCharge();
  EXPECT_EQ(c.code, charge->TakeOneTimePasswordReply(c.reply));
  EXPECT_EQ(c.code == 0, StoreHoldsCredentials());
  if (c.code != 0) return;
  const CInfoChargeTidewheel::Credentials& taken = charge->GetCredentials();
  EXPECT_STREQ("0123456789ABCDEF", taken.ccid);
  EXPECT_STREQ("pw345678", taken.password);
  EXPECT_EQ(c.result_word, taken.result);
  CInfoChargeTidewheel::Credentials stored = {};
  uint32_t size = sizeof(stored);
  ASSERT_TRUE(
      CDataManager::GetInstance().GetData(CDataManager::kKeyTidewheelCredentials, &stored, &size));
  EXPECT_EQ(0, memcmp(&stored, &taken, sizeof(stored)));
}

#define CREDS "\r\nCCID=0123456789ABCDEF\r\nPASS=pw345678\r\n"
INSTANTIATE_TEST_SUITE_P(
    Replies, PasswordReplyTest,
    ::testing::Values(
        PasswordCase{"C00", "RESULT=C00" CREDS, 0, 0},
        PasswordCase{"C01", "RESULT=C01" CREDS, 0, 0x200201},
        PasswordCase{"C02", "RESULT=C02" CREDS, 0, 0x200202},
        PasswordCase{"C03", "RESULT=C03" CREDS, 0, 0x200203},
        PasswordCase{"C05", "RESULT=C05" CREDS, 0, 0x200205},
        PasswordCase{"FieldsInAnyOrder", "RESULT=C00\nPASS=pw345678\nCCID=0123456789ABCDEF", 0, 0},
        PasswordCase{"C04", "RESULT=C04" CREDS, 0x200204, 0},
        PasswordCase{"E98", "RESULT=E98", 0x200298, 0},
        PasswordCase{"E99", "RESULT=E99", 0x200299, 0},
        PasswordCase{"UnknownCode", "RESULT=C09" CREDS, 0x2002FF, 0},
        PasswordCase{"NoEquals", "garbage", 0x2002FF, 0},
        PasswordCase{"CodeCutShort", "RESULT=C0", 0x2002FF, 0},
        PasswordCase{"NoCcid", "RESULT=C00\r\nPASS=pw345678", 0x2002FF, 0},
        PasswordCase{"NoPassword", "RESULT=C00\r\nCCID=0123456789ABCDEF", 0x2002FF, 0},
        PasswordCase{"PasswordAtTheEndCutShort", "RESULT=C00\r\nCCID=0123456789ABCDEF\r\nPASS=pw3",
                     0x2002FF, 0},
        PasswordCase{"CcidRunsIntoTheNextLine", "RESULT=C00\r\nCCID=0123456789\r\nPASS=pw345678",
                     0x2002FF, 0},
        PasswordCase{"PasswordWithAFormDelimiter",
                     "RESULT=C00\r\nCCID=0123456789ABCDEF\r\nPASS=pw&45678", 0x2002FF, 0}),
    ovtest::CaseName());
#undef CREDS

TEST(PasswordReplyLogTest, UnknownReplyIsLoggedWithoutItsCredentials) {
  ovtest::CLogCapture log;
  auto charge = MakeCharge();
  ASSERT_EQ(0x2002FFu, charge->TakeOneTimePasswordReply(
                           "RESULT=C09\r\nCCID=0123456789ABCDEF\r\nPASS=pw345678\r\n"));
  EXPECT_TRUE(log.Contains("正未定義のサーバー応答値 SVRRET:RESULT=C09  CCID=****  PASS=****"));
  EXPECT_FALSE(log.Contains("pw345678"));
  EXPECT_FALSE(log.Contains("0123456789ABCDEF"));
}

}  // namespace
