// The message table; see ErrorMessage.h.
//
// Each category has its rows (a number or a range of numbers within the
// category, a style, a text) and a fallback that looks at the number's group
// bits. Texts with a code line are printf formats taking the code and the
// detail text; the table is ours and constant, so formatting them is safe.
#include "ErrorMessage.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "StringUtil.h"

namespace {

#define CODE_LINE "\r\n\r\n(メッセージコード：%08X%s)"
const char kCodeMarker[] = "\r\n\r\n(メッセージコード：";
const char kOnlineHelp[] = "\r\n詳細はオンラインヘルプを参照してください。";

struct Text {
  uint32_t style;
  const char* text;  // nullptr: no text
};

const Text kNone = {msgstyle::kWarning, nullptr};

// Texts that several categories or rows share.
const char kNoCard[] =
    "SDカードが認識できません。\r\nSDカードが正常に接続されていることを確認してください"
    "。" CODE_LINE;
const char kRegistrationMaintenance[] =
    "サーバーメンテナンス中です。\r\nしばらくしてからアクセスしてください。" CODE_LINE;
const char kSuspended[] =
    "お客様は現在休会中となっております。\r\n"
    "お手数ですがカスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kWithdrawn[] =
    "お客様は退会済みとなっております。\r\n"
    "ご利用になる場合は、再度お客様登録を行ってください。" CODE_LINE;
const char kProbeInvalid[] =
    "プローブデータが不正の為、プローブデータを送信することが出来ません。\r\n"
    "Ostrovelleを再起動してください\r\n再起動を行っても症状が改善されない場合、\r\n"
    "カスタマーサポートセンターへ問い合わせください。" CODE_LINE;
const char kMapRestart[] =
    "マップチャージの通信に失敗しました。\r\nOstrovelleを再起動してください。\r\n"
    "再起動を行っても症状が改善されない場合は\r\nお手数ですがメッセージコードを控えて頂き\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kTrafficNetwork[] =
    "Tidewheel渋滞情報の取得に失敗しました。\r\n"
    "ネットワークが正常に接続されていることを確認してください。" CODE_LINE;
const char kTrafficWrite[] =
    "Tidewheel渋滞情報のデータ書込みに失敗しました。\r\nSDカードを確認してください。" CODE_LINE;
const char kResetQuestion[] = "設定を初期状態に戻します。\r\nよろしいですか？";
const char kSmallCard4[] =
    "サポートされていないSDカードです。\r\n"
    "地図更新など一部機能がご利用頂けない場合がございますので\r\n"
    "4GB以上のSDHCカードをご使用ください。";
const char kSmallCard8[] =
    "サポートされていないSDカードです。\r\n"
    "地図更新など一部機能がご利用頂けない場合がございますので\r\n"
    "8GB以上のSDHCカードをご使用ください。";

// A row: numbers `first` to `last` (bits 0-23, or the whole code for the
// program's own codes).
struct Row {
  uint32_t first;
  uint32_t last;
  Text text;
};

const Text* FindRow(const Row* rows, size_t count, uint32_t number) {
  for (size_t i = 0; i < count; ++i) {
    if (number >= rows[i].first && number <= rows[i].last) return &rows[i].text;
  }
  return nullptr;
}

template <size_t N>
const Text* FindRow(const Row (&rows)[N], uint32_t number) {
  return FindRow(rows, N, number);
}

#define ONE(n, style, text) \
  {                         \
    n, n, { style, text }   \
  }
#define W msgstyle::kWarning
#define I msgstyle::kInformation
#define Q msgstyle::kQuestion
#define QN msgstyle::kQuestionNo

// --- Category 0x01: probe upload -------------------------------------------

const char kProbeSupport[] =
    "プローブデータの送信に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kProbeRestart[] =
    "プローブデータの送信に失敗しました。\r\nOstrovelleを再起動してください。\r\n"
    "再起動を行っても症状が改善されない場合は\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kProbeUnregisteredUnit[] =
    "初期登録が行われていないナビゲーションのプローブデータの送信に失敗しました。\r\n"
    "ナビゲーションごとに初期登録を行ってください。" CODE_LINE;
const char kProbeMaintenance[] =
    "サーバーメンテナンス中のため、プローブデータの送信に失敗しました。\r\n"
    "しばらくしてから再度お試しください。" CODE_LINE;
const char kProbeNoCustomer[] =
    "お客様登録が行われていないため、\r\nプローブデータを送信できません。\r\n"
    "ご利用になる場合は、お客様登録を行ってください。" CODE_LINE;

const Row kProbeRows[] = {
    ONE(0x000101, W,
        "プローブデータを送信できません。\r\n"
        "ナビゲーション本体のプローブ送信設定をONにしてください。" CODE_LINE),
    ONE(0x00010A, W, kProbeUnregisteredUnit),
    ONE(0x00010B, W, kProbeUnregisteredUnit),
    ONE(0x00010C, W, kProbeInvalid),
    ONE(0x00FF06, W, kProbeInvalid),
    ONE(0x200201, Q,
        "Tidewheel利用登録が行われていないため、\r\nプローブデータを送信できません。\r\n"
        "Tidewheel利用登録を行いますか？"),
    ONE(0x200202, Q,
        "Tidewheel利用登録の期限が切れているため、\r\nプローブデータを送信できません。\r\n"
        "再度利用登録を行いますか？"),
    ONE(0x200203, W,
        "初期登録が行われていないため、プローブデータを送信できません。\r\n"
        "Ostrovelleのアンインストールを行い、再度インストールして初期登録を行ってください"
        "。" CODE_LINE),
    ONE(0x200204, W, kProbeSupport),
    ONE(0x200301, W, kProbeSupport),
    ONE(0x200302, W, kProbeSupport),
    ONE(0x200402, W, kProbeSupport),
    ONE(0x200403, W, kProbeSupport),
    ONE(0x200205, Q,
        "お客様は退会済みとなっているため、\r\nプローブデータを送信できません。\r\n"
        "ご利用になる場合は、再度お客様登録を行ってください。\r\n登録を行いますか？"),
    ONE(0x200206, W,
        "サーバーメンテナンス中のため、プローブデータを送信できません。\r\n"
        "しばらくしてから再度お試しください。" CODE_LINE),
    ONE(0x200207, Q,
        "お客様登録が行われていないため、\r\nプローブデータを送信できません。\r\n"
        "ご利用になる場合は、お客様登録を行ってください。\r\n登録を行いますか？" CODE_LINE),
    ONE(0x200299, W, kProbeRestart),
    ONE(0x200399, W, kProbeRestart),
    ONE(0x200401, W, kProbeRestart),
    ONE(0x200499, W, kProbeRestart),
    ONE(0x200303, W, kProbeMaintenance),
    ONE(0x200404, W, kProbeMaintenance),
    ONE(0x200304, W,
        "プローブデータの送信に失敗しました。\r\n再度お試し頂いても改善しない場合は\r\n"
        "お手数ですがメッセージコードを控えて頂き\r\n販売店へお問い合わせください。" CODE_LINE),
    ONE(0x200305, W, kProbeNoCustomer),
    ONE(0x200405, W, kProbeNoCustomer),
};

Text ProbeText(uint32_t number) {
  if (const Text* row = FindRow(kProbeRows, number)) return *row;
  if (number & 0x400000) {
    return {
        W,
        "プローブデータの送信に失敗しました。\r\n"
        "Ostrovelleのアンインストールを行い、再度SDカードをPCへ挿入しインストールを行ってください"
        "。" CODE_LINE};
  }
  if ((number & 0x300000) == 0x300000) return {W, kProbeInvalid};
  if (number & 0x100000) {
    return {W,
            "プローブデータの送信に失敗しました。\r\n"
            "ネットワークが正常に接続されていることを確認してください。" CODE_LINE};
  }
  return kNone;
}

// --- Category 0x02: map charge ---------------------------------------------

const char kMapSupport[] =
    "マップチャージの通信に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kMapRestartShort[] =
    "マップチャージの通信に失敗しました。\r\nOstrovelleを再起動してください。\r\n"
    "再起動を行っても症状が改善されない場合は\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kMapReinsert[] =
    "マップチャージの通信に失敗しました。\r\n"
    "ナビゲーション本体に再度SDカードを挿入してから\r\nOstrovelleを起動してください。\r\n"
    "症状が改善されない場合は\r\nカスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kMapDataErase[] =
    "ダウンロードデータが不正のため、データを転送できません。\r\n"
    "ダウンロード設定からダウンロードデータを消去した後、\r\n"
    "Ostrovelleを再起動してください。" CODE_LINE;
const char kMapMaintenance[] =
    "サーバーメンテナンス中です。しばらくしてからアクセスしてください。" CODE_LINE;
const char kMapNeedsCustomer[] =
    "マップチャージをご利用になるには、お客様登録が必要です。\r\n"
    "お客様登録を行ってください。" CODE_LINE;
const char kMapError[] =
    "エラーが発生しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;

const Row kMapRows[] = {
    ONE(0x00EEEF, Q,
        "SDカード内の空き容量不足のためデータ消去が必要です。\r\n\r\n"
        "消去を行うと、SDカードへコピーした映像データや\r\n"
        "音楽データを含む全てのデータが消去されます。\r\n"
        "必要なデータはバックアップしておくことをおすすめします。\r\n\r\n"
        "消去を開始してよろしいですか？"),
    ONE(0x00FF01, W, kMapSupport),
    ONE(0x220003, W, kMapSupport),
    ONE(0x220004, W, kMapSupport),
    ONE(0x220007, W, kMapSupport),
    ONE(0x230007, W, kMapSupport),
    ONE(0x260007, W, kMapSupport),
    ONE(0x280007, W, kMapSupport),
    ONE(0x010106, W,
        "お客様のネットワークの通信速度ではマップチャージをご利用になれません。" CODE_LINE),
    ONE(0x03FF03, W, kMapReinsert),
    ONE(0x30FF03, W, kMapReinsert),
    ONE(0x040107, W, kMapRestart),
    ONE(0x05FF03, W,
        "ダウンロードデータが不正のため、データを転送できません。\r\n"
        "Ostrovelleを再起動してください。\r\n再起動を行っても症状が改善されない場合、\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x230047, W,
        "地図データのバージョンがサーバーに登録されていません。\r\n再度登録を行ってください。\r\n"
        "症状が改善されない場合は\r\nカスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x230049, W,
        "ナビプログラムのバージョンがサーバーに登録されていません。\r\n"
        "再度登録を行ってください。\r\n症状が改善されない場合は\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x23004D, W,
        "検索データのバージョンがサーバーに登録されていません。\r\n再度登録を行ってください。\r\n"
        "症状が改善されない場合は\r\nカスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x350109, W,
        "SDカード内の空き容量が不足しています。\r\nSDカード内の不要なファイルを削除した後、\r\n"
        "Ostrovelleを再起動してください。\r\n再起動を行っても症状が改善されない場合、\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x35EEEE, W, "サポートされていないSDカードのため、データを転送できません。" CODE_LINE),
    ONE(0x35FF06, W, kNoCard),
    ONE(0x35FFFF, W,
        "ダウンロードデータが不正のため、データを転送できません。\r\n"
        "パソコンを再起動してください。\r\n再起動を行っても症状が改善されない場合、\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x430105, W,
        "マップチャージの通信に失敗しました。\r\n"
        "Ostrovelleのアンインストールを行い、再度SDカードをPCへ挿入しインストールを行ってください"
        "。" CODE_LINE),
};

bool IsOneOf(uint32_t value, std::initializer_list<uint32_t> values) {
  for (const uint32_t v : values) {
    if (v == value) return true;
  }
  return false;
}

Text MapText(uint32_t number) {
  if (const Text* row = FindRow(kMapRows, number)) return *row;
  const uint32_t group = number >> 16;
  const uint32_t low = number & 0xFFFF;
  // The six server groups share their answers 5 and 9 to 0xC.
  if (IsOneOf(group, {0x22, 0x23, 0x26, 0x27, 0x28, 0x29})) {
    switch (low) {
      case 0x05:
        return {I, kMapMaintenance};
      case 0x09:
        return {I, kMapNeedsCustomer};
      case 0x0A:
        return {I, kSuspended};
      case 0x0B:
        return {I, kWithdrawn};
      case 0x0C:
        return {W, kMapError};
      default:
        break;
    }
  }
  if (IsOneOf(number, {0x22000E, 0x22000F, 0x220010, 0x220012, 0x220063, 0x230003, 0x230004,
                       0x230012, 0x23004E, 0x230051, 0x230053, 0x230057, 0x230058, 0x230063,
                       0x260003, 0x260004, 0x26000E, 0x26000F, 0x260010, 0x260012, 0x260063,
                       0x270063, 0x280003, 0x280004, 0x280012, 0x280063, 0x290063})) {
    return {W, kMapRestartShort};
  }
  if (IsOneOf(number, {0x350000, 0x350103, 0x350104, 0x350105, 0x350107, 0x350108, 0x35010A,
                       0x350200, 0x350210, 0x350220, 0x350230, 0x350240, 0x450000, 0x45FFFF})) {
    return {W, kMapDataErase};
  }
  if (group == 0x06 || group == 0x11 || group == 0x22) return {W, kMapRestart};
  if (group == 0x0A) {
    return {
        W,
        "データを正常に転送できませんでした。\r\nお手数ですがOstrovelleを再起動してください。\r\n"
        "再起動を行っても症状が改善されない場合、\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE};
  }
  if (group == 0x10 || (group >= 0x12 && group <= 0x15) || (group >= 0x17 && group <= 0x1F)) {
    return {W,
            "サーバーが混雑しているか、または接続できませんでした。\r\n"
            "ネットワークに接続されていることをご確認のうえ、\r\n"
            "しばらく経ってからもう一度お試しください。\r\n" CODE_LINE};
  }
  return {W,
          "マップチャージの通信に失敗しました。\r\n"
          "パソコンの再起動を行っても症状が改善されない場合は\r\n"
          "お手数ですがメッセージコードを控えて頂き\r\n"
          "カスタマーサポートセンターへお問い合わせください。" CODE_LINE};
}

// --- Category 0x04: probe-traffic information ------------------------------

const char kTrafficSupport[] =
    "Tidewheel渋滞情報の取得に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き、\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;

const Row kTrafficRows[] = {
    ONE(0x00FF06, W, kTrafficWrite),
    ONE(0x20000F, W, kTrafficNetwork),
    {0x200010, 0x200017, {W, kTrafficSupport}},
    ONE(0x200204, W, kTrafficSupport),
    ONE(0x200298, W, kTrafficSupport),
    ONE(0x200299, W, kTrafficSupport),
    ONE(0x2002FF, W, kTrafficSupport),
    ONE(0x200201, W, nullptr),
    ONE(0x200202, I,
        "Tidewheel利用登録の期限が切れているため、\r\nQZT情報のみの取得を行います。\r\n"
        "Tidewheel渋滞情報の取得を行うためには、\r\n再度Tidewheel利用登録を行ってください"
        "。" CODE_LINE),
    ONE(0x200203, I,
        "初期登録が行われていないため、\r\nQZT情報のみの取得を行います。\r\n"
        "Tidewheel渋滞情報の取得を行うためには、\r\nTidewheel利用登録を行ってください。" CODE_LINE),
    ONE(0x200205, I,
        "退会済みのため、\r\nQZT情報のみの取得を行います。\r\n"
        "Tidewheel渋滞情報の取得を行うためには、\r\n"
        "復会手続き及びTidewheel利用登録を行ってください。" CODE_LINE),
    ONE(0x40FF05, W,
        "Tidewheel渋滞情報の取得に失敗しました。\r\n"
        "ナビゲーション本体に再度SDカードを挿入してから\r\nOstrovelleを起動してください。\r\n"
        "症状が改善されない場合は\r\nお手数ですがメッセージコードを控えて頂き\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
};

Text TrafficText(uint32_t number) {
  if (const Text* row = FindRow(kTrafficRows, number)) return *row;
  const uint32_t group = number >> 16;
  if (group == 0x10) return {W, kTrafficNetwork};
  if (group == 0x30) return {W, kTrafficWrite};
  return {W,
          "Tidewheel渋滞情報の取得に失敗しました。\r\n\r\n"
          "パソコンの再起動を行っても症状が改善されない場合は\r\n"
          "お手数ですがメッセージコードを控えて頂き\r\n"
          "カスタマーサポートセンターへお問い合わせください。" CODE_LINE};
}

// --- Category 0x08: weather information ------------------------------------

Text WeatherText(uint32_t number) {
  const uint32_t group = number >> 16;
  const uint32_t low = number & 0xFFFF;
  if ((group == 0x00 && low == 0xFF06) || group == 0x30) {
    return {W,
            "Stratovineのデータ書込みに失敗しました。\r\nSDカードを確認してください。" CODE_LINE};
  }
  if (group == 0x10 && low == 0x000E) {
    return {W,
            "Stratovineの取得に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
            "カスタマーサポートセンターへお問い合わせください。" CODE_LINE};
  }
  if (group == 0x10 && low >= 100 && low <= 505) {
    return {W,
            "Stratovineの取得に失敗しました。\r\nしばらくしてからアクセスして下さい。" CODE_LINE};
  }
  if (group == 0x10) {
    return {W,
            "Stratovineの取得に失敗しました。\r\n"
            "インターネット環境に接続できているかご確認ください。\r\n症状が改善されない場合は\r\n"
            "お手数ですがメッセージコードを控えて頂き\r\n"
            "カスタマーサポートセンターへお問い合わせください。" CODE_LINE};
  }
  return {W,
          "Stratovineの取得に失敗しました。\r\n\r\n"
          "再度、登録確認を行っても症状が改善されない場合、\r\n"
          "お手数ですがメッセージコードを控えて頂き、\r\n"
          "カスタマーサポートセンターへお問い合わせください。" CODE_LINE};
}

// --- Category 0x10: music charge -------------------------------------------

const Row kMusicRows[] = {
    ONE(0x000010, W,
        "音楽ファイル転送処理に失敗しました。\r\n"
        "パソコンの再起動を行っても症状が改善されない場合は\r\n"
        "お手数ですがメッセージコードを控えて頂き\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x000011, W,
        "音楽ファイル転送処理に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0x00FF06, W, kNoCard),
};

// --- Category 0x40: customer registration ----------------------------------

const char kRegistrationNetwork[] =
    "お客様登録確認に失敗しました。\r\nネットワークが正常に接続されていることを確認して\r\n"
    "再度、登録確認を行ってください。" CODE_LINE;
const char kRegistrationSupport[] =
    "お客様登録確認に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kRegistrationRetry[] =
    "お客様登録確認に失敗しました。\r\n\r\n再度、登録確認を行っても症状が改善されない場合、\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kRegistrationCard[] =
    "SDカードの読み込みに失敗しました。\r\n\r\n"
    "SDカードが正常に接続されていることを確認して\r\n再度、登録確認を行ってください。" CODE_LINE;

const Row kRegistrationRows[] = {
    ONE(0x000002, I, "ニックネームが未入力です。"),
    ONE(0x000003, I, "パスワードが未入力です。"),
    ONE(0x000004, QN,
        "初期設定を完了しないと、Ostrovelleは使用開始できません。\r\n初期設定を終了しますか？"),
    ONE(0x00FF06, W, kRegistrationCard),
    ONE(0x30FF06, W, kRegistrationCard),
    ONE(0x200001, W, kRegistrationNetwork),
    ONE(0x200002, W, kRegistrationNetwork),
    ONE(0x200003, W, kRegistrationNetwork),
    ONE(0x200012, W, kRegistrationNetwork),
    ONE(0x200004, W, kRegistrationSupport),
    ONE(0x200007, W, kRegistrationSupport),
    ONE(0x200008, W, kRegistrationSupport),
    ONE(0x20000C, W, kRegistrationSupport),
    ONE(0x200063, W, kRegistrationSupport),
    ONE(0x200005, I, kRegistrationMaintenance),
    ONE(0x200006, W,
        "お客様登録確認に失敗しました。\r\nニックネームとパスワードを確認の上、しばらくしてから\r\n"
        "ログインしてください。" CODE_LINE),
    ONE(0x200009, I,
        "お客様登録が未登録です。\r\nOKを押して、お客様登録/確認ボタンからお客様登録を\r\n"
        "行ってください。" CODE_LINE),
    ONE(0x20000A, I, kSuspended),
    ONE(0x20000B, I, kWithdrawn),
    ONE(0x400001, W, kRegistrationRetry),
    ONE(0x40FF05, W, kRegistrationRetry),
    ONE(0x40FFFF, W, kRegistrationRetry),
};

Text RegistrationText(uint32_t number) {
  if (const Text* row = FindRow(kRegistrationRows, number)) return *row;
  if (number & 0x100000) {
    return {W,
            "お客様登録確認に失敗しました。\r\n\r\n"
            "ネットワークが正常に接続されていることを確認して\r\n"
            "再度、登録確認を行ってください。" CODE_LINE};
  }
  return kNone;
}

// --- Category 0x90: error report (log upload) ------------------------------

const char kReportFailed[] =
    "エラー報告に失敗しました。\r\nお手数ですがメッセージコードを控えて頂き\r\n"
    "カスタマーサポートセンターへお問い合わせください。" CODE_LINE;
const char kReportDone[] = "エラー報告が完了しました。\r\n\r\nこの報告を製品の改善に役立てます。";

const Row kReportRows[] = {
    ONE(0x000000, I, kReportDone),
    ONE(0x200018, I, kReportDone),
    ONE(0x00FF00, I, "エラー報告を中断しました。\r\n次回起動時に再度行ってください。"),
    ONE(0x000011, W, kReportFailed),
    ONE(0x200003, W, kReportFailed),
    ONE(0x200004, W, kReportFailed),
    ONE(0x200005, W, kReportFailed),
    ONE(0x200012, W, kReportFailed),
    ONE(0x200063, W, kReportFailed),
    ONE(0x40FF04, W, kReportFailed),
    ONE(0x40FF05, W, kReportFailed),
    ONE(0x40FFA0, W, kReportFailed),
    ONE(0x40FFA1, W, kReportFailed),
    ONE(0x40FFFF, W, kReportFailed),
    {0x600001, 0x600009, {W, kReportFailed}},
};

Text ReportText(uint32_t number) {
  if (const Text* row = FindRow(kReportRows, number)) return *row;
  if (number & 0x100000) {
    return {W,
            "エラー報告に失敗しました。\r\nネットワークが正常に接続されていることを確認して\r\n"
            "次回起動時に情報送信を行ってください。" CODE_LINE};
  }
  return kNone;
}

// --- The programs' own codes, compared whole -------------------------------

const Row kProgramRows[] = {
    ONE(0xFF00AA00, QN, kResetQuestion),
    ONE(0xFF00AA01, Q, "自動転送フォルダに指定されたフォルダは存在しません。\r\n作成しますか？"),
    ONE(0xFF00AA02, W,
        "自動転送フォルダにシステムフォルダが指定されています。\r\n"
        "別のフォルダを指定してください。" CODE_LINE),
    ONE(0xFF00AA03, W,
        "転送制限サイズの入力値が設定範囲外です。\r\n100～3000MBの間で入力してください"
        "。" CODE_LINE),
    ONE(0xFF00AA04, W,
        "転送制限ファイル数の入力値が設定範囲外です。\r\n20～5000個の間で入力してください"
        "。" CODE_LINE),
    ONE(0xFF00AA05, QN,
        "ランダム転送時の音楽ファイル入れ替え割合が0％に設定されています。\r\n"
        "このままですと、ファイル入れ替えが行われない場合がありますが、よろしいですか？"),
    ONE(0xFF00AA06, QN,
        "自動転送に設定されました。\r\nSDカード内の音楽データは入れ替わる可能性があるため\r\n"
        "必要なデータはバックアップしておくことをおすすめします。\r\n\r\n"
        "今すぐ自動転送を開始しますか？"),
    ONE(0xFF00AA07, QN,
        "現在転送実行中です。\r\n設定を変更すると転送を中断します。\r\n\r\n"
        "設定を変更してよろしいですか？"),
    ONE(0xFF00AA08, W,
        "設定の保存に失敗しました。\r\nOstrovelleを再起動してください。\r\n"
        "再起動を行っても症状が改善されない場合、\r\n"
        "カスタマーサポートセンターへお問い合わせください。" CODE_LINE),
    ONE(0xFF00AA09, W,
        "フォルダの作成に失敗しました。\r\n指定されたフォルダへのアクセス権限がありません。\r\n"
        "別のフォルダを指定してください。" CODE_LINE),
    ONE(0xFF00BB00, W,
        "ミュージックチャージがSDカードを使用中です。\r\n"
        "転送方法を変更するか、しばらくお待ちください。" CODE_LINE),
    ONE(0xFF00BB01, W, "他の機能がSDカードを使用中です。\r\nしばらくお待ちください。" CODE_LINE),
    ONE(0xFF00BB02, QN,
        "転送方法がマニュアル転送に設定されていません。\r\n"
        "設定を「マニュアル転送」に変更しますか？\r\n\r\n"
        "設定はミュージックチャージ設定から再度変更できます。"),
    ONE(0xFF00BB03, W,
        "マニュアル転送を開始できません。\r\nSDカードを確認してください。" CODE_LINE),
    ONE(0xFF00BB04, W,
        "表示ファイル数が上限(%d件)を超えました。\r\n%d件まで表示します。\r\n\r\n"
        "(メッセージコード：%08X)"),
    ONE(0xFF00BB05, W,
        "表示フォルダ数が上限(%d件)を超えました。\r\n%d件まで表示します。\r\n\r\n"
        "(メッセージコード：%08X)"),
    ONE(0xFF00BB06, W,
        "%sは認識できない、または存在しないフォルダです。\r\n\r\n(メッセージコード：%08X)"),
    ONE(0xFF00BB0A, W,
        "%sは認識できない、または存在しないフォルダです。\r\n\r\n(メッセージコード：%08X)"),
    ONE(0xFF00BB07, W,
        "表示できない文字を含むフォルダ名またはファイル名があります。\r\n"
        "名前を変更してからOstrovelleを再起動してください。" CODE_LINE),
    ONE(0xFF00BB08, QN, "選択されたファイルを削除しますか？"),
    ONE(0xFF00BB09, I, "削除が完了しました。"),
    ONE(0xFF00BB0B, W, "削除に失敗しました。" CODE_LINE),
    ONE(0xFF00BB0C, I, "コピーが完了しました。"),
    ONE(0xFF00BB0D, W, "コピー元のフォルダが存在しません。" CODE_LINE),
    ONE(0xFF00BB0E, W, "コピー先のフォルダが存在しません。" CODE_LINE),
    ONE(0xFF00BB0F, W, "コピーに失敗しました。" CODE_LINE),
    ONE(0xFF00BB10, W, "SDカードの空き容量が不足しているため、コピーを中止しました。" CODE_LINE),
    ONE(0xFF00BB11, W, "5000ファイル以上は転送することが出来ません。" CODE_LINE),
    ONE(0xFF00BB12, W, "300フォルダ以上は転送することが出来ません。" CODE_LINE),
    ONE(0xFF00BB13, W, "%sは存在しないファイルです。\r\n\r\n(メッセージコード：%08X)"),
    ONE(0xFF00BB15, W, "%sは存在しないファイルです。\r\n\r\n(メッセージコード：%08X)"),
    ONE(0xFF00BB14, W, "音楽ファイルを再生できません。" CODE_LINE),
    ONE(0xFF00BB16, W, "プロパティを表示できません。" CODE_LINE),
    ONE(0xFF00BB17, I, "移動が完了しました。"),
    ONE(0xFF00BB18, W, "移動に失敗しました。" CODE_LINE),
    ONE(0xFF00CC01, Q,
        "SDカード内のデータ消去を開始します。\r\n"
        "消去を行うと、SDカードへコピーした映像データや\r\n"
        "音楽データを含む全てのデータが消去されます。\r\n"
        "必要なデータはバックアップしておくことをおすすめします。\r\n\r\n"
        "消去を開始してよろしいですか？"),
    ONE(0xFF00CC02, I, "SDカード内データのクリアが完了しました。"),
    ONE(0xFF00CC03, W, "SDカード内データのクリアに失敗しました。"),
    ONE(0xFF00CC04, Q, "指定されたフォルダは存在しません。\r\n新規作成しますか？"),
    ONE(0xFF00CC05, W,
        "指定されたフォルダはシステムフォルダです。\r\n別のフォルダを指定してください。" CODE_LINE),
    ONE(0xFF00CC06, W,
        "有効なダウンロードフォルダが指定されていません。\r\n"
        "ダウンロードフォルダを入力してください。" CODE_LINE),
    ONE(0xFF00CC07, Q,
        "ダウンロードフォルダのドライブは、現在空き領域が不足しており、\r\n"
        "地図データのダウンロードに失敗する場合があります。\r\n\r\n"
        "このまま設定を保存しますか？"),
    ONE(0xFF00CC08, Q, kResetQuestion),
    ONE(0xFF00CC09, Q,
        "サーバーからダウンロードしたデータの消去を開始します。 \r\n\r\n"
        "消去を開始してよろしいですか？"),
    ONE(0xFF00CC0A, I, "ダウンロードデータのクリアが完了しました。"),
    ONE(0xFF00CC0B, W, "ダウンロードデータのクリアに失敗しました。"),
    ONE(0xFF00CC0C, W, "ダウンロードフォルダが存在しません。" CODE_LINE),
    ONE(0xFF00CC0D, I, "現在SDカードアクセス中のため、消去できません。" CODE_LINE),
    ONE(0xFF00CC0E, I, "現在SDカードアクセス中のため、消去できません。" CODE_LINE),
    ONE(0xFF00DD01, I, kRegistrationMaintenance),
    ONE(0xFF00EE01, W,
        "本アプリケーションはこのOSでは動作できません。\r\n"
        "Windows 7(TM) / Windows Vista(TM) / Windows XP(TM)にて実行してください。"),
    ONE(0xFF00EE02, I,
        "挿入されているSDカードはロックされています。\r\nSDカードを確認してください。"),
    ONE(0xFF00EE03, I, kSmallCard4),
    ONE(0xFF00EE04, I, "SDカードが挿入されていません。"),
    ONE(0xFF00EE05, I, "SDカードの取り外しが可能な状態になりました。"),
    ONE(0xFF00EE06, W,
        "SDカードの取り外しに失敗しました。\r\n他のアプリケーションで使用されていないかなど\r\n"
        "SDカードの状態をご確認ください。"),
    ONE(0xFF00EE07, W, "他の機能が起動中のため、SDカードを取り外しを行えません。"),
    ONE(0xFF00EE08, I, kSmallCard8),
    ONE(0xFF00EE09, I,
        "他のナビ情報が入ったSDカードに差し替えたため\r\nOstrovelle "
        "を再起動する必要があります。\r\n"
        "「OK」を押して、再起動してください。"),
};

// The music manager's rows with placeholders of their own.
bool FillsItsOwnPlaceholders(uint32_t code) {
  return IsOneOf(code, {0xFF00BB04, 0xFF00BB05, 0xFF00BB06, 0xFF00BB0A, 0xFF00BB13, 0xFF00BB15});
}

Text Lookup(uint32_t code) {
  const uint32_t number = code & 0xFFFFFF;
  switch (code >> 24) {
    case 0x01:
      return ProbeText(number);
    case 0x02:
      return MapText(number);
    case 0x04:
      return TrafficText(number);
    case 0x08:
      return WeatherText(number);
    case 0x10: {
      const Text* row = FindRow(kMusicRows, number);
      return row != nullptr ? *row : kNone;
    }
    case 0x40:
      return RegistrationText(number);
    case 0x90:
      return ReportText(number);
    default: {
      const Text* row = FindRow(kProgramRows, code);
      return row != nullptr ? *row : kNone;
    }
  }
}

#undef ONE
#undef W
#undef I
#undef Q
#undef QN

}  // namespace

#pragma GCC diagnostic push
// The formats are the constant texts above, each taking the code and the detail.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string GetErrorMessage(uint32_t code, uint32_t* style, uint32_t platform_error) {
  const uint32_t category = code >> 24;
  if ((code & 0xFFFFFF) == 0 && category != 0x90) return std::string();
  const Text found = Lookup(code);
  if (style != nullptr) *style = found.style;
  if (found.text == nullptr) return std::string();
  if (strstr(found.text, kCodeMarker) == nullptr || FillsItsOwnPlaceholders(code)) {
    return found.text;
  }
  const std::string detail = platform_error == 0
                                 ? std::string()
                                 : FormatString("-%X", static_cast<unsigned>(platform_error));
  std::string text = FormatString(found.text, static_cast<unsigned>(code), detail.c_str());
  if (category != 0x40) text += kOnlineHelp;
  return text;
}
#pragma GCC diagnostic pop
