// DES, CBC chaining and the CRC-16 against published known answers.
//   DES single blocks: FIPS 81 Appendix B (key 0123456789ABCDEF, "Now is t"),
//   NBS SP 500-20 variable-plaintext table (key 0101010101010101), and the
//   widely reproduced worked example with key 133457799BBCDFF1.
//   CBC: FIPS 81 Appendix C, initial vector 1234567890ABCDEF.
//   CRC-16/X-25: check value of "123456789" is 0x906E, residue 0x0F47.
#include "OstrovelleLite/DesCipher.h"
#include "OstrovelleLite/NPCrcCalc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// Standard byte strings to the unit's order: each 4-byte half reversed.
std::vector<uint8_t> ToUnitOrder(std::vector<uint8_t> bytes) {
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    std::swap(bytes[i], bytes[i + 3]);
    std::swap(bytes[i + 1], bytes[i + 2]);
  }
  return bytes;
}

const uint8_t kZeroIv[8] = {};

struct DesVector {
  const char* name;
  const char* key;
  const char* plain;
  const char* cipher;
};
void PrintTo(const DesVector& v, std::ostream* os) { *os << v.name; }

class DesKnownAnswer : public ::testing::TestWithParam<DesVector> {};

TEST_P(DesKnownAnswer, UnitByteOrderGivesTheStandardCipherBlock) {
  const DesVector& v = GetParam();
  const std::vector<uint8_t> key = ToUnitOrder(FromHex(v.key));
  std::vector<uint8_t> block = ToUnitOrder(FromHex(v.plain));
  DesCbc(block.data(), key.data(), kZeroIv, 1, kDesEncrypt);
  EXPECT_EQ(ToUnitOrder(FromHex(v.cipher)), block);

  DesCbc(block.data(), key.data(), kZeroIv, 1, kDesDecrypt);
  EXPECT_EQ(ToUnitOrder(FromHex(v.plain)), block);
}

TEST_P(DesKnownAnswer, StandardByteOrderDoesNot) {
  const DesVector& v = GetParam();
  const std::vector<uint8_t> key = FromHex(v.key);
  std::vector<uint8_t> block = FromHex(v.plain);
  DesCbc(block.data(), key.data(), kZeroIv, 1, kDesEncrypt);
  EXPECT_NE(FromHex(v.cipher), block);
}

INSTANTIATE_TEST_SUITE_P(Published, DesKnownAnswer,
                         ::testing::Values(DesVector{"Fips81NowIsT", "0123456789ABCDEF",
                                                     "4E6F772069732074", "3FA40E8A984D4815"},
                                           DesVector{"Sp50020VariablePlain", "0101010101010101",
                                                     "8000000000000000", "95F8A5E5DD31D900"},
                                           DesVector{"WorkedExample", "133457799BBCDFF1",
                                                     "0123456789ABCDEF", "85E813540F0AB405"}),
                         [](const ::testing::TestParamInfo<DesVector>& p) {
                           return std::string(p.param.name);
                         });

TEST(DesCbc, MatchesThePublishedChainAndReversesIt) {
  const std::vector<uint8_t> key = ToUnitOrder(FromHex("0123456789ABCDEF"));
  const std::vector<uint8_t> iv = ToUnitOrder(FromHex("1234567890ABCDEF"));
  const std::vector<uint8_t> plain =
      ToUnitOrder(FromHex("4E6F77206973207468652074696D6520666F7220616C6C20"));
  std::vector<uint8_t> data = plain;
  DesCbc(data.data(), key.data(), iv.data(), 3, kDesEncrypt);
  EXPECT_EQ(ToUnitOrder(FromHex("E5C7CDDE872BF27C43E934008C389C0F683788499A7C05F6")), data);
  EXPECT_EQ(ToUnitOrder(FromHex("1234567890ABCDEF")), iv) << "the vector is not changed";

  DesCbc(data.data(), key.data(), iv.data(), 3, kDesDecrypt);
  EXPECT_EQ(plain, data);
}

TEST(DesCbc, WrongVectorSpoilsOnlyTheFirstBlock) {
  const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const uint8_t iv[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  uint8_t wrong[8] = {9, 9, 9, 9, 9, 9, 9, 8};
  std::vector<uint8_t> plain(168);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> data = plain;
  DesCbc(data.data(), key, iv, 21, kDesEncrypt);
  EXPECT_NE(plain, data);
  DesCbc(data.data(), key, wrong, 21, kDesDecrypt);
  EXPECT_NE(0, memcmp(plain.data(), data.data(), 8));
  EXPECT_EQ(0, memcmp(plain.data() + 8, data.data() + 8, 160));
}

TEST(TripleDesBlock, ThreeEqualKeysAreOneEncipheringXoredWithTheInput) {
  const uint8_t key[8] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
  const uint8_t block[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  uint8_t expected[8];
  memcpy(expected, block, 8);
  DesCbc(expected, key, kZeroIv, 1, kDesEncrypt);
  for (int i = 0; i < 8; ++i) expected[i] ^= block[i];
  uint8_t out[8];
  TripleDesBlock(key, key, key, block, out);
  EXPECT_EQ(0, memcmp(expected, out, 8));
}

TEST(BuildCipherKey, FillsTheFirstHalfOnlyAndIsStable) {
  uint8_t a[16] = {};
  uint8_t b[16] = {};
  BuildCipherKey(a);
  BuildCipherKey(b);
  EXPECT_EQ(0, memcmp(a, b, 16));
  const uint8_t zero[8] = {};
  EXPECT_NE(0, memcmp(a, zero, 8));
  EXPECT_EQ(0, memcmp(a + 8, zero, 8));
}

TEST(NPCrcCalc, CheckValueAndEmptyInput) {
  EXPECT_EQ(0x906E, NPCrcCalc::Of("123456789", 9));
  RNW_CrcCalc crc;
  EXPECT_EQ(0x0000, crc.GetCrc());
  crc.Update("123456789", 9);
  EXPECT_EQ(0x906E, crc.GetCrc());
  crc.Reset();
  EXPECT_EQ(0x0000, crc.GetCrc());
}

TEST(NPCrcCalc, SplitUpdatesEqualOneUpdate) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 31 + 7);
  const uint16_t whole = NPCrcCalc::Of(data.data(), data.size());
  for (size_t split : {size_t{0}, size_t{1}, size_t{500}, size_t{999}, size_t{1000}}) {
    NPCrcCalc crc;
    crc.Update(data.data(), split);
    crc.Update(data.data() + split, data.size() - split);
    EXPECT_EQ(whole, crc.GetCrc()) << "split at " << split;
  }
}

// The CRC a bit at a time, as the polynomial defines it.
uint16_t BitwiseCrc16(const std::string& data) {
  unsigned r = 0xFFFF;
  for (const char c : data) {
    r ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ 0x8408 : r >> 1;
  }
  return static_cast<uint16_t>(~r);
}

TEST(NPCrcCalc, EveryLengthAndStartAgreesWithTheBitwiseSum) {
  std::string data;
  for (int i = 0; i < 64; ++i) data += static_cast<char>(i * 151 + 13);
  for (size_t start = 0; start < 8; ++start) {
    for (size_t length = 0; start + length <= data.size(); ++length) {
      const std::string part = data.substr(start, length);
      EXPECT_EQ(BitwiseCrc16(part), NPCrcCalc::Of(data.data() + start, length))
          << "start " << start << " length " << length;
    }
  }
}

TEST(NPCrcCalc, DataFollowedByItsLittleEndianCrcLeavesTheResidue) {
  std::string data = "any frame at all";
  const uint16_t crc = NPCrcCalc::Of(data.data(), data.size());
  data += static_cast<char>(crc & 0xFF);
  data += static_cast<char>(crc >> 8);
  EXPECT_EQ(0x0F47, NPCrcCalc::Of(data.data(), data.size()));
}

}  // namespace
