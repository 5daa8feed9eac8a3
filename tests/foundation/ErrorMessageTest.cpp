// The message table: each category's rows and fallbacks, the code line with
// and without a platform error, the online-help line, and codes without text.
#include <gtest/gtest.h>

#include <string>

#include "ErrorMessage.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

const char kHelp[] = "\r\n詳細はオンラインヘルプを参照してください。";

struct MessageCase {
  const char* name;
  uint32_t code;
  uint32_t platform_error;
  uint32_t style;
  const char* begins;  // the text's start; nullptr: no text at all
  const char* ends;    // the text's end, nullptr: not checked
};

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }
bool EndsWith(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

class MessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MessageTest, GivesItsTextAndStyle) {
  const MessageCase& c = GetParam();
  uint32_t style = 0xDEAD;
  const std::string text = GetErrorMessage(c.code, &style, c.platform_error);
  EXPECT_EQ(c.style, style);
  if (c.begins == nullptr) {
    EXPECT_EQ("", text);
    return;
  }
  EXPECT_TRUE(StartsWith(text, c.begins)) << text;
  if (c.ends != nullptr) {
    EXPECT_TRUE(EndsWith(text, c.ends)) << text;
  }
}

const uint32_t W = msgstyle::kWarning, I = msgstyle::kInformation, Q = msgstyle::kQuestion,
               QN = msgstyle::kQuestionNo;

INSTANTIATE_TEST_SUITE_P(
    Codes, MessageTest,
    ::testing::Values(
        MessageCase{"ReportDoneIsCodeZero", 0x90000000u, 0, I,
                    "エラー報告が完了しました。\r\n\r\nこの報告を製品の改善に役立てます。",
                    "役立てます。"},
        MessageCase{"MapMaintenance", 0x02220005u, 0, I,
                    "サーバーメンテナンス中です。しばらくしてからアクセスしてください。\r\n\r\n"
                    "(メッセージコード：02220005)\r\n詳細はオンラインヘルプを参照してください。",
                    kHelp},
        MessageCase{"MapMaintenanceWithPlatformError", 0x02220005u, 0x2EFD, I,
                    "サーバーメンテナンス中です。",
                    "(メッセージコード：02220005-2EFD)\r\n"
                    "詳細はオンラインヘルプを参照してください。"},
        MessageCase{"RegistrationHasNoHelpLine", 0x40200005u, 0, I,
                    "サーバーメンテナンス中です。\r\nしばらくしてからアクセスしてください。",
                    "(メッセージコード：40200005)"},
        MessageCase{"ProgramMaintenanceHasTheHelpLine", 0xFF00DD01u, 0, I,
                    "サーバーメンテナンス中です。\r\nしばらくしてからアクセスしてください。",
                    "(メッセージコード：FF00DD01)\r\n詳細はオンラインヘルプを参照してください。"},
        MessageCase{"ProbeQuestionStaysUnformatted", 0x01200201u, 0, Q,
                    "Tidewheel利用登録が行われていないため、", "登録を行いますか？"},
        MessageCase{"ProbeQuestionWithCodeLine", 0x01200207u, 0, Q,
                    "お客様登録が行われていないため、",
                    "登録を行いますか？\r\n\r\n(メッセージコード：01200207)\r\n"
                    "詳細はオンラインヘルプを参照してください。"},
        MessageCase{"ProbeNetworkFallback", 0x01150000u, 0, W,
                    "プローブデータの送信に失敗しました。\r\nネットワーク", kHelp},
        MessageCase{"ProbeInvalidFallback", 0x01350000u, 0, W, "プローブデータが不正の為", kHelp},
        MessageCase{"ProbeReinstallFallback", 0x01450000u, 0, W,
                    "プローブデータの送信に失敗しました。\r\nOstrovelleのアンインストール", kHelp},
        MessageCase{"ProbeWithoutText", 0x01200200u, 0, W, nullptr, nullptr},
        MessageCase{"MapGeneralGroup16", 0x02160001u, 0, W,
                    "マップチャージの通信に失敗しました。\r\nパソコンの再起動", kHelp},
        MessageCase{"MapServerBusyGroup17", 0x02170001u, 0, W, "サーバーが混雑しているか、",
                    "お試しください。\r\n\r\n\r\n(メッセージコード：02170001)\r\n"
                    "詳細はオンラインヘルプを参照してください。"},
        MessageCase{"MapTransferGroup0A", 0x020A0001u, 0, W, "データを正常に転送できませんでした。",
                    kHelp},
        MessageCase{"MapRestartGroup22", 0x02220077u, 0, W,
                    "マップチャージの通信に失敗しました。\r\nOstrovelleを再起動してください。",
                    kHelp},
        MessageCase{"MapSharedAnswerWithdrawn", 0x0229000Bu, 0, I, "お客様は退会済み", kHelp},
        MessageCase{"MapCardTooSmallQuestion", 0x0200EEEFu, 0, Q, "SDカード内の空き容量不足のため",
                    "よろしいですか？"},
        MessageCase{"MapNoCard", 0x0235FF06u, 0, W, "SDカードが認識できません。", kHelp},
        MessageCase{"WeatherTryLater404", 0x08100194u, 0, W,
                    "Stratovineの取得に失敗しました。\r\nしばらくしてから", kHelp},
        MessageCase{"WeatherNetwork506", 0x081001FAu, 0, W,
                    "Stratovineの取得に失敗しました。\r\nインターネット環境", kHelp},
        MessageCase{"WeatherCardWrite", 0x0800FF06u, 0, W, "Stratovineのデータ書込み", kHelp},
        MessageCase{"WeatherOther", 0x08400001u, 0, W,
                    "Stratovineの取得に失敗しました。\r\n\r\n再度、", kHelp},
        MessageCase{"TrafficNoText", 0x04200201u, 0, W, nullptr, nullptr},
        MessageCase{"TrafficNetworkGroup", 0x04100005u, 0, W,
                    "Tidewheel渋滞情報の取得に失敗しました。\r\nネットワーク", kHelp},
        MessageCase{"TrafficCardWriteGroup", 0x04300001u, 0, W, "Tidewheel渋滞情報のデータ書込み",
                    kHelp},
        MessageCase{"TrafficRange", 0x04200013u, 0, W,
                    "Tidewheel渋滞情報の取得に失敗しました。\r\nお手数", kHelp},
        MessageCase{"MusicNoText", 0x10000012u, 0, W, nullptr, nullptr},
        MessageCase{"MusicRestartPc", 0x10000010u, 0, W,
                    "音楽ファイル転送処理に失敗しました。\r\nパソコンの再起動", kHelp},
        MessageCase{"MusicNoCard", 0x1000FF06u, 0, W, "SDカードが認識できません。", kHelp},
        MessageCase{"RegistrationNickname", 0x40000002u, 0, I, "ニックネームが未入力です。",
                    "未入力です。"},
        MessageCase{"RegistrationQuitQuestion", 0x40000004u, 0, QN, "初期設定を完了しないと",
                    "終了しますか？"},
        MessageCase{"RegistrationNetworkFallback", 0x40150000u, 0, W,
                    "お客様登録確認に失敗しました。\r\n\r\nネットワーク",
                    "(メッセージコード：40150000)"},
        MessageCase{"ReportCancelled", 0x9000FF00u, 0, I, "エラー報告を中断しました。",
                    "再度行ってください。"},
        MessageCase{"ReportRange", 0x90600009u, 0, W, "エラー報告に失敗しました。\r\nお手数",
                    kHelp},
        MessageCase{"ReportNetwork", 0x90100000u, 0x2EE2, W,
                    "エラー報告に失敗しました。\r\nネットワーク",
                    "(メッセージコード：90100000-2EE2)\r\n"
                    "詳細はオンラインヘルプを参照してください。"},
        MessageCase{"ResetQuestionDefaultsToNo", 0xFF00AA00u, 0, QN, "設定を初期状態に戻します。",
                    "よろしいですか？"},
        MessageCase{"ResetQuestionOfTheSettings", 0xFF00CC08u, 0, Q, "設定を初期状態に戻します。",
                    "よろしいですか？"},
        MessageCase{"EightGigabyteCard", 0xFF00EE08u, 0, I, "サポートされていないSDカードです。",
                    "8GB以上のSDHCカードをご使用ください。"},
        MessageCase{"MusicManagerFillsItsOwn", 0xFF00BB04u, 0, W, "表示ファイル数が上限(%d件)",
                    "(メッセージコード：%08X)"},
        MessageCase{"OtherCategory", 0x03000001u, 0, W, nullptr, nullptr},
        MessageCase{"OtherProgramCode", 0xFF01AA00u, 0, W, nullptr, nullptr}),
    ovtest::CaseName());

TEST(MessageTest, NumberZeroHasNoTextAndLeavesTheStyle) {
  for (const uint32_t code : {0x00000000u, 0x01000000u, 0x02000000u, 0x40000000u, 0xFF000000u}) {
    uint32_t style = 0x1234;
    EXPECT_EQ("", GetErrorMessage(code, &style, 0x2EFD)) << std::hex << code;
    EXPECT_EQ(0x1234u, style) << std::hex << code;
  }
}

// Every text that carries a code line must format to a text that names the
// code exactly once, with nothing left of a placeholder.
TEST(MessageTest, EveryFormattedTextNamesItsCodeOnce) {
  const uint32_t categories[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x40, 0x90};
  for (const uint32_t category : categories) {
    for (uint32_t group = 0; group <= 0x60; ++group) {
      for (const uint32_t low :
           {0x0u, 0x3u, 0x5u, 0x9u, 0xAu, 0xBu, 0xCu, 0xEu, 0x10u, 0x63u, 0x194u, 0xFF06u}) {
        const uint32_t code = category << 24 | group << 16 | low;
        uint32_t style = 0;
        const std::string text = GetErrorMessage(code, &style, 5);
        if (text.empty()) continue;
        EXPECT_EQ(std::string::npos, text.find('%')) << std::hex << code;
        const std::string line =
            "(メッセージコード：" + FormatString("%08X", static_cast<unsigned>(code)) + "-5)";
        const size_t at = text.find(line);
        if (at != std::string::npos) {
          EXPECT_EQ(std::string::npos, text.find(line, at + 1)) << std::hex << code;
        }
      }
    }
  }
}

}  // namespace
