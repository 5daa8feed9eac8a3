// The launcher's charge rules; see ChargeStatus.h.
#include "ChargeStatus.h"

#include "ChargeKind.h"

namespace charge {

namespace {

struct TypeText {
  int type;
  const char* text;
};

constexpr TypeText kTexts[] = {
    {1, "プローブデータアップロード中"},
    {2, "マップチャージ中"},
    {3, "渋滞情報更新中"},
    {4, "Stratovine更新中"},
    {5, "ミュージックチャージ中"},
    {6, "サーバー情報チェック中"},
    {10, "プローブデータアップロード完了"},
    {11, "プローブデータアップロード失敗"},
    {12, "プローブデータアップロードスキップ"},
    {13, "プローブデータなし"},
    {14, "マップチャージ完了"},
    {15, "マップチャージ失敗"},
    {16, "マップチャージスキップ"},
    {17, "マップチャージ最新情報なし"},
    {18, "渋滞情報更新完了"},
    {19, "渋滞情報更新失敗"},
    {20, "渋滞情報更新スキップ"},
    {21, "渋滞情報最新情報なし"},
    {22, "Stratovine更新完了"},
    {23, "Stratovine更新失敗"},
    {24, "Stratovine更新スキップ"},
    {25, "Stratovine最新情報なし"},
    {26, "ミュージックチャージ完了"},
    {27, "ミュージックチャージ失敗"},
    {28, "ミュージックチャージスキップ"},
    {29, "ミュージックチャージ最新情報なし"},
    {40, "クリックでメニューを開きます"},
    {41, "クリックでメニューを格納します"},
    {42, "データ取得関連の操作ができます"},
    {43, "各種データの取得を開始します"},
    {44, "設定を行います"},
    {45, "音楽転送関連の操作ができます"},
    {46, "音楽ファイルを選択して転送します"},
    {47, "音楽ファイルの転送設定を行います"},
    {48, "関連webサイトへご案内します"},
    {49, "お客様登録サイトを開きます"},
    {51, "Ostrovelle関連サイトを開きます"},
    {53, "各種情報を表示します"},
    {54, "バージョン情報を表示します"},
    {55, "SDカード情報を表示します"},
    {56, "オンラインヘルプを開きます"},
    {60, "SDカードを取り出します。"},
    {61, "処理を中止します。"},
};

struct KindRow {
  uint32_t kind;
  int first_result;
};

constexpr KindRow kKinds[kKindCount] = {
    {CHARGE_KIND_PROBE, 10},   {CHARGE_KIND_MAP, 14},   {CHARGE_KIND_TIDEWHEEL, 18},
    {CHARGE_KIND_WEATHER, 22}, {CHARGE_KIND_MUSIC, 26},
};

// A probe upload that sent its data but skipped blocks without a nickname:
// done, with a box that says so.
constexpr uint32_t kCodeDoneChecked = 267;
constexpr uint32_t kCodeUserUnknown = 0x200205;
constexpr uint32_t kMapUserUnknownMask = 0xF0FFFF;
constexpr uint32_t kMapUserUnknown = 0x20000B;

bool OffersRegistration(uint32_t word) {
  return word == 0x1200201 || word == 0x1200202 || word == 0x1200205 || word == 0x1200207;
}

}  // namespace

std::string StatusTypeText(int type) {
  for (const TypeText& row : kTexts) {
    if (row.type == type) return row.text;
  }
  return std::string();
}

int RunningStatusType(uint32_t kind) {
  switch (kind) {
    case CHARGE_KIND_PROBE:
      return 1;
    case CHARGE_KIND_MAP:
    case 0x20:
      return 2;
    case CHARGE_KIND_TIDEWHEEL:
      return 3;
    case CHARGE_KIND_WEATHER:
      return 4;
    case CHARGE_KIND_MUSIC:
      return 5;
    default:
      return 0;
  }
}

int KindSlot(uint32_t kind) {
  for (int i = 0; i < kKindCount; ++i) {
    if (kKinds[i].kind == kind) return i;
  }
  return -1;
}

int FirstResultType(uint32_t kind) {
  const int slot = KindSlot(kind);
  return slot < 0 ? 0 : kKinds[slot].first_result;
}

ResultOutcome OutcomeOf(uint32_t word) {
  ResultOutcome outcome;
  if (word < 0x1000000) return outcome;
  const uint32_t kind = word >> 24;
  const uint32_t code = word & 0xFFFFFF;
  const uint32_t low = code & 0xFFFF;
  outcome.slot = KindSlot(kind);
  if (outcome.slot >= 0) {
    const int first = FirstResultType(kind);
    if (code == CHARGE_RESULT_SUCCESS || code == kCodeDoneChecked) {
      outcome.frame = kFrameDone;
      outcome.status_type = first;
    } else if (low == CHARGE_RESULT_SKIP) {
      outcome.frame = kFrameSkipped;
      outcome.status_type = first + 2;
    } else if (low == CHARGE_RESULT_NODATA) {
      outcome.frame = kFrameSkipped;
      outcome.status_type = first + 3;
    } else {
      outcome.frame = kFrameFailed;
      outcome.status_type = first + 1;
    }
  }
  outcome.shows_box = code != 0 && low != CHARGE_RESULT_ABORT && low != CHARGE_RESULT_SKIP &&
                      low != CHARGE_RESULT_NODATA;
  outcome.removes_user =
      ((kind == CHARGE_KIND_PROBE || kind == CHARGE_KIND_TIDEWHEEL) && code == kCodeUserUnknown) ||
      (kind == CHARGE_KIND_MAP && (word & kMapUserUnknownMask) == kMapUserUnknown);
  outcome.offers_registration = OffersRegistration(word);
  return outcome;
}

int RunningFrame(uint32_t percent, int shown_frame) {
  if (percent == 100) return kFrameDone;
  int frame = 5;
  if (percent <= 24) {
    frame = 2;
  } else if (percent <= 49) {
    frame = 3;
  } else if (percent <= 74) {
    frame = 4;
  }
  return shown_frame == frame ? frame - 1 : frame;
}

std::string DotCells(int dots) {
  std::string cells;
  for (int i = 0; i < 3; ++i) cells += i < dots ? "．" : "  ";
  return cells;
}

}  // namespace charge
