// The weather information charge; see InfoChargeWeather.h.
#include "info/InfoChargeWeather.h"

#include <algorithm>
#include <cstring>

#include "ChargeKind.h"
#include "ConnectionFile.h"
#include "Log.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"
#include "info/CardFileWrite.h"
#include "info/InfoTransfer.h"
#include "info/UnitInfoFile.h"

namespace {

constexpr int kConnectionWeather = 11;
constexpr int kConnectionWeatherKind2 = 26;

constexpr uint32_t kNoCredentials = 0x400008;
constexpr uint32_t kUnitInfoUnreadable = 0x30000A;
constexpr uint32_t kAuthenticationRefused = 0x10000E;
constexpr uint32_t kEmptyData = 0x20FF02;
constexpr uint32_t kNoDriveLetter = 0x300000;
constexpr uint32_t kBadDataFileName = 0x200099;
constexpr uint32_t kBadWriteChoice = 0x40FFFF;
constexpr DWORD kStatusUnauthorized = 401;

const char kUser[] = "rodiduvaveru4";
const char kPassword[] = "Kv37dpwR";
const char kInfoName[] = "all.man";
const uint8_t kFillPattern[] = {0x80, 0xFF, 0x80, 0xFF};

const InfoTransferTexts kInfoTexts = {
    "天気予報管理ファイル 設定要求初期化時の失敗",
    "天気予報管理ファイル 設定要求接続時の失敗",
    "天気予報管理ファイル 取得処理中断",
    "天気予報管理ファイル 取得 サーバー中断",
    "天気予報管理ファイル 取得待機時の致命的エラー",
    "天気予報管理ファイル 設定要求ダウンロード時の失敗",
};

const InfoTransferTexts kDataTexts = {
    "天気予報データファイル 設定要求初期化時の失敗",
    "天気予報データファイル 設定要求接続時の失敗",
    "天気予報データファイル 取得処理中断",
    "天気予報データファイル 取得 サーバー中断",
    "天気予報データファイル 取得待機時の致命的エラー",
    "天気予報データファイル 設定要求ダウンロード時の失敗",
};

struct CardFile {
  const char* title;
  const char* log_name;  // the title as the failure lines begin
  const char* path;
};
const CardFile kInfoFile = {"天気予報管理ファイル", "天気予報管理ファイル ",
                            ":\\PC\\WEATHER\\WT_INFO.DAT"};
const CardFile kDataFile = {"天気予報データ", "天気予報データ ", ":\\PC\\WEATHER\\WT_DATA.DAT"};

// The name goes into the URL as it is: only a plain name of printable
// characters that cannot leave the service's folder or change the request.
bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (c <= 0x20 || c >= 0x7F || strchr("/\\?#%", c) != nullptr) return false;
  }
  return true;
}

}  // namespace

bool SetWeatherDigestCredential(char* user, char* password) {
  if (user == nullptr || password == nullptr) return false;
  memset(user, 0, CInfoChargeWeather::kCredentialSize);
  memset(password, 0, CInfoChargeWeather::kCredentialSize);
  memcpy(user, kUser, sizeof(kUser) - 1);
  memcpy(password, kPassword, sizeof(kPassword) - 1);
  return true;
}

CInfoChargeWeather::CInfoChargeWeather() : CCharge(CHARGE_KIND_WEATHER), _info(), _data() {}

CInfoChargeWeather::~CInfoChargeWeather() = default;

uint32_t CInfoChargeWeather::Fail(uint32_t code) {
  _NotifyError(code, _detail);
  _SaveHistory(_FailedStage(code), code, 0, 0, 0);
  return code;
}

uint32_t CInfoChargeWeather::_Proc() {
  OV_LOG(kLogTrace, "CInfoChargeWeather::_Proc - Start");
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "処理開始時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  _detail = 0;
  _SaveHistory(kHistoryStart, 0, 0, 0, 0);
  _NotifyProgress(0);
  uint32_t code = GetWtInfo();
  if (code == 0) {
    _NotifyProgress(25);
    code = GetWtData();
  }
  if (code != 0) return Fail(code);

  _NotifyProgress(50);
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "日時データ保存時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  code = WritingWeatherData(kWriteInfo);
  if (code == 0 && !_IsExistSD()) {
    OV_LOG(kLogInfo, "実データ保存時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  if (code == 0) code = WritingWeatherData(kWriteData);
  if (code != 0) return Fail(code);

  _NotifyProgress(75);
  OV_LOG(kLogTrace, "DiruManageFile Update - Start");
  uint32_t version = 0;
  code = RaiseInfoRecord(GetDriveLetter(), pclink::kDataIdWeather, "お出かけ更新失敗", &version);
  if (code != 0) return Fail(code);
  OV_LOG(kLogTrace, "DiruManageFile Update - End");
  _NotifyProgress(100);
  _SaveHistory(kHistoryDone, 0, version, 0, 0);
  _NotifyError(0, _detail);
  OV_LOG(kLogTrace, "CInfoChargeWeather::_Proc - End");
  OV_LOG(kLogTrace, "お天気情報取得　成功");
  return 0;
}

std::string CInfoChargeWeather::GetDataFileName() const {
  const char* start = reinterpret_cast<const char*>(_info + kNameOffset);
  const std::string name(start, strnlen(start, kInfoSize - kNameOffset));
  return IsPlainFileName(name) ? name : std::string();
}

uint32_t CInfoChargeWeather::Fetch(bool info, std::vector<char>* reply) {
  const char* const function = info ? "GetWtInfo" : "GetWtData";
  OV_LOG(kLogTrace, "CInfoChargeWeather::%s - Start", function);
  char user[kCredentialSize];
  char password[kCredentialSize];
  if (!SetWeatherDigestCredential(user, password)) {
    OV_LOG(kLogError, "ダイジェスト認証取得失敗");
    return kNoCredentials;
  }
  CConnectionFile& connections = CConnectionFile::GetInstance();
  std::string url = connections.GetUrl(kConnectionWeather);
  const CUnitInfoFile unit(GetDriveLetter());
  if (!unit.IsLoaded()) {
    OV_LOG(kLogError, "CInfoChargeWeather::GetWtInfo - モデル判別時のNAVIINFO.DAT読込失敗");
    return kUnitInfoUnreadable;
  }
  if (unit.GetFileKind() == 2) url = connections.GetUrl(kConnectionWeatherKind2);
  const std::string name = info ? std::string(kInfoName) : GetDataFileName();
  if (name.empty()) {
    // Nothing is fetched for a name that is no plain file name.
    OV_LOG(kLogError, "天気予報データファイル名不正");
    return kBadDataFileName;
  }

  InfoTransfer transfer;
  transfer.url = url + name;
  transfer.verb = kHttpGet;
  transfer.user = ToWide(user);
  transfer.password = ToWide(password);
  transfer.abort_event = _GetAbortEvent();
  transfer.drive = GetDriveLetter();
  transfer.texts = info ? &kInfoTexts : &kDataTexts;
  DWORD http_result = 0;
  const uint32_t code = RunInfoTransfer(transfer, reply, &http_result);
  if (http_result == (kHttpStatusFlag | kStatusUnauthorized)) return kAuthenticationRefused;
  return code;
}

uint32_t CInfoChargeWeather::GetWtInfo() {
  std::vector<char> reply;
  if (const uint32_t code = Fetch(true, &reply)) return code;
  memset(_info, 0, sizeof(_info));
  memcpy(_info, reply.data(), std::min(reply.size(), sizeof(_info)));
  OV_LOG(kLogTrace, "CInfoChargeWeather::GetWtInfo - End");
  return 0;
}

uint32_t CInfoChargeWeather::GetWtData() {
  std::vector<char> reply;
  if (const uint32_t code = Fetch(false, &reply)) return code;
  if (reply.empty()) {
    OV_LOG(kLogInfo, "お天気データレスポンス０");
    return kEmptyData;
  }
  memset(_data, 0, kDataPartSize);
  memcpy(_data, reply.data(), std::min(reply.size(), kDataPartSize));
  for (size_t at = kDataPartSize; at < kDataSize; at += sizeof(kFillPattern)) {
    memcpy(_data + at, kFillPattern, sizeof(kFillPattern));
  }
  OV_LOG(kLogTrace, "CInfoChargeWeather::GetWtData - End");
  return 0;
}

uint32_t CInfoChargeWeather::WritingWeatherData(int which) {
  if (which != kWriteInfo && which != kWriteData) {
    OV_LOG(kLogError, "書き込みID判別失敗");
    return kBadWriteChoice;
  }
  const CardFile& file = which == kWriteInfo ? kInfoFile : kDataFile;
  OV_LOG(kLogTrace, "CInfoChargeWeather::WritingWeatherData %s - Start", file.title);
  if (GetDriveLetter() == 0) {
    OV_LOG(kLogError, "ドライブレター取得失敗");
    return kNoDriveLetter;
  }
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "データ保存時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  const std::string path = std::string(1, GetDriveLetter()) + file.path;
  const uint8_t* bytes = which == kWriteInfo ? _info : _data;
  const size_t size = which == kWriteInfo ? sizeof(_info) : sizeof(_data);
  CWinFileSystemLib files(_GetAbortEvent());
  DWORD error = 0;
  const uint32_t code = WriteCardFile(files, path, bytes, size, file.log_name, &error);
  if (code != 0) {
    _detail = error;
    return code;
  }
  OV_LOG(kLogTrace, "CInfoChargeWeather::WritingWeatherData - End");
  return 0;
}
