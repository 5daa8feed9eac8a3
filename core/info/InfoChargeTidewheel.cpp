// The probe-traffic information charge; see InfoChargeTidewheel.h.
#include "info/InfoChargeTidewheel.h"

#include <cstring>

#include "ChargeKind.h"
#include "ConnectionFile.h"
#include "CoreConnectionParameterData.h"
#include "Log.h"
#include "OstrovelleLite/RecordFields.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"
#include "files/CardFileText.h"
#include "info/CardFileWrite.h"
#include "info/DataManager.h"
#include "info/InfoTransfer.h"
#include "info/UnitInfoFile.h"

namespace {

// Connection ids.
constexpr int kConnectionOneTimePassword = 6;
constexpr int kConnectionTraffic = 12;
constexpr int kConnectionTrafficLinkYear = 27;
constexpr int32_t kFunctionOneTimePassword = 71;

// Result codes of this charge.
constexpr uint32_t kNoRequestBody = 0x40FF05;
constexpr uint32_t kNoDriveLetter = 0x300000;
constexpr uint32_t kNoReply = 0x20000F;
constexpr uint32_t kCredentialsExpired = 0x200011;
constexpr uint32_t kUndefinedServerError = 0x200099;
constexpr uint32_t kBadTrafficData = 0x99;
constexpr uint32_t kNoTrafficData = 0x20FF02;
constexpr uint32_t kPasswordDuplicate = 0x200204;
constexpr uint32_t kPasswordE98 = 0x200298;
constexpr uint32_t kPasswordE99 = 0x200299;
constexpr uint32_t kPasswordUndefined = 0x2002FF;
constexpr uint32_t kReplyValueRegistered = 0x200201;

constexpr uint8_t kTypeData = 0x4F;
constexpr uint8_t kTypeError = 0xFF;

// Traffic request values.
constexpr int32_t kVicsProbeOff = 113;
constexpr int32_t kVicsProbeOn = 121;
constexpr int32_t kBaseOffsetX = 115200;
constexpr int32_t kBaseOffsetY = 76800;

constexpr size_t kCcidLength = 16;
constexpr size_t kPasswordLength = 8;
constexpr size_t kLoggedReplyLength = 256;

const char kTimeFile[] = ":\\PC\\PROBE\\RCVTIME.DAT";
const char kDataFile[] = ":\\PC\\PROBE\\RCVDAT.DAT.ENC";

unsigned U(uint32_t value) { return static_cast<unsigned>(value); }

const InfoTransferTexts kPasswordTexts = {
    "ワンタイムパスワード設定要求初期化時の失敗",
    "ワンタイムパスワード設定要求接続時の失敗",
    "ワンタイムパスワード 作成処理中断",
    "ワンタイムパスワード取得中 サーバー中断",
    "ワンタイムパスワード取得待機時の致命的エラー",
    "ワンタイムパスワード設定要求ダウンロード時の失敗",
};

const InfoTransferTexts kTrafficTexts = {
    "QZTまたは、Tidewheel渋滞情報設定要求初期化時の失敗",
    "QZTまたは、Tidewheel渋滞情報設定要求接続時の失敗",
    "QZTまたは、Tidewheel渋滞情報 取得処理中断",
    "QZTまたは、Tidewheel渋滞情報取得中 サーバー中断",
    "渋滞情報 取得待機時の致命的エラー",
    "QZTまたは、Tidewheel渋滞情報設定要求ダウンロード時の失敗",
};

struct PasswordReplyCode {
  const char* code;
  uint32_t value;  // the reply value kept as the result word
};
const PasswordReplyCode kAcceptedCodes[] = {
    {"C00", 0}, {"C01", 0x200201}, {"C02", 0x200202}, {"C03", 0x200203}, {"C05", 0x200205}};

struct ServerErrorCode {
  uint16_t number;
  uint32_t code;
};
const ServerErrorCode kServerErrors[] = {
    {0x0001, 0x200010}, {0x0010, 0x200017},           {0x0100, CHARGE_RESULT_NODATA},
    {0x0102, 0x200014}, {0x0104, 0x200015},           {0x0105, 0x200016},
    {0xFFFE, 0x200012}, {0xFFFF, kCredentialsExpired}};

// Credentials travel in a form body (the password unencoded): a character
// that would end or change a form value, or a control character where a
// short reply ran on into its next line, means the value is not there.
bool IsCredentialChar(char c) { return c > 0x20 && c < 0x7F && strchr("&=%+#", c) == nullptr; }

// The `length` characters after `key`; false when the reply does not hold
// that many usable characters there.
bool TakeField(const std::string& reply, const char* key, size_t length, char* out) {
  const size_t at = reply.find(key);
  if (at == std::string::npos) return false;
  const size_t start = at + strlen(key);
  if (reply.size() - start < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (!IsCredentialChar(reply[start + i])) return false;
  }
  memcpy(out, reply.data() + start, length);
  out[length] = '\0';
  return true;
}

// The reply as a log line may show it: one line, cut short, and without
// the values of the credentials, which never reach the log.
std::string ReplyForLog(const std::string& reply) {
  std::string text = reply.substr(0, kLoggedReplyLength);
  for (const char* key : {"CCID=", "PASS="}) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
      const size_t start = at + strlen(key);
      size_t end = start;
      while (end < text.size() && IsCredentialChar(text[end])) ++end;
      text.replace(start, end - start, "****");
    }
  }
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return text;
}

}  // namespace

CInfoChargeTidewheel::CInfoChargeTidewheel() : CCharge(CHARGE_KIND_TIDEWHEEL), _credentials() {}

CInfoChargeTidewheel::~CInfoChargeTidewheel() = default;

SYSTEMTIME CInfoChargeTidewheel::Now() const {
  if (_clock) return _clock();
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

std::string CInfoChargeTidewheel::CardPath(const char* path) const {
  return std::string(1, GetDriveLetter()) + path;
}

uint32_t CInfoChargeTidewheel::Fail(uint32_t code, LPARAM detail) {
  _NotifyError(code, detail);
  _SaveHistory(_FailedStage(code), code, 0, 0, 0);
  return code;
}

uint32_t CInfoChargeTidewheel::_Proc() {
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::_Proc - Start");
  _NotifyProgress(0);
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "処理開始時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  _detail = 0;
  _credentials.result = _CheckProbeSendSetting();
  _NotifyProgress(25);

  uint32_t size = sizeof(_credentials);
  Credentials stored;
  if (CDataManager::GetInstance().GetData(CDataManager::kKeyTidewheelCredentials, &stored, &size) &&
      size == sizeof(stored)) {
    _credentials = stored;
  } else if (const uint32_t code = GetOneTimePassword()) {
    return Fail(code, _detail);
  }

  _NotifyProgress(50);
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "データ取得時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  // The detail kept by a failed card write goes with the report.
  if (const uint32_t code = TidewheelRequest()) return Fail(code, _detail);

  _NotifyProgress(75);
  OV_LOG(kLogTrace, "DiruManageFile Update - Start");
  uint32_t version = 0;
  if (const uint32_t code = RaiseInfoRecord(GetDriveLetter(), pclink::kDataIdTraffic,
                                            "お出かけ管理ファイル 更新処理失敗", &version)) {
    return Fail(code, 0);
  }
  OV_LOG(kLogTrace, "DiruManageFile Update - End");
  _NotifyProgress(100);

  uint32_t result = _credentials.result;
  if (result == kResultProbeSendOff || result == kReplyValueRegistered) result = 0;
  _NotifyError(result, pclink::kDataIdTraffic);
  _SaveHistory(kHistoryDone, result, version, 0, 0);
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::_Proc - End[0x%08X]", U(result));
  OV_LOG(kLogInfo, "渋滞情報取得 成功[0x%08X]", U(result));
  return result;
}

uint32_t CInfoChargeTidewheel::_CheckProbeSendSetting() {
  const bool on = CUnitInfoFile(GetDriveLetter()).IsProbeSendOn();
  OV_LOG(kLogTrace, "リアルタイムプローブ送信設定確認 %s", on ? "送信設定" : "非送信設定");
  return on ? 0 : kResultProbeSendOff;
}

uint32_t CInfoChargeTidewheel::GetOneTimePassword() {
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::GetOneTimePassword - Start");
  const CUnitInfoFile unit(GetDriveLetter());
  core::ConnectionParameterData parameters;
  const std::string device_no = unit.GetDeviceNo();
  const bool set = parameters.SetOneTimePasswordParameter(device_no.c_str(), unit.GetCcidHead(),
                                                          kFunctionOneTimePassword);
  std::vector<char> reply;
  uint32_t code =
      PostForm(kConnectionOneTimePassword, set ? &parameters : nullptr,
               "ワンタイムパスワード取得時のPOSTデータ生成失敗", kPasswordTexts, &reply);
  if (code == 0 && reply.empty()) {
    OV_LOG(kLogError, "OTP取得時の応答サイズ０");
    code = kPasswordE99;
  } else if (code == 0) {
    code = TakeOneTimePasswordReply(std::string(reply.begin(), reply.end()));
  }
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::GetOneTimePassword - End:0x%08X", U(code));
  return code;
}

uint32_t CInfoChargeTidewheel::PostForm(int connection,
                                        const core::ConnectionParameterData* parameters,
                                        const char* no_body_text, const InfoTransferTexts& texts,
                                        std::vector<char>* reply) {
  CConnectionFile& connections = CConnectionFile::GetInstance();
  InfoTransfer transfer;
  if (parameters != nullptr) connections.SetParameters(*parameters);
  if (parameters == nullptr || !connections.BuildFormData(connection, &transfer.form_body)) {
    OV_LOG(kLogError, "%s[ERR:0x%08X]", no_body_text, U(GetLastError()));
    return kNoRequestBody;
  }
  transfer.url = connections.GetUrl(connection);
  transfer.verb = kHttpPost;
  transfer.abort_event = _GetAbortEvent();
  transfer.drive = GetDriveLetter();
  transfer.texts = &texts;
  DWORD http_result = 0;
  return RunInfoTransfer(transfer, reply, &http_result);
}

uint32_t CInfoChargeTidewheel::TakeOneTimePasswordReply(const std::string& reply) {
  const size_t equals = reply.find('=');
  const std::string code = equals != std::string::npos && reply.size() - equals > 3
                               ? reply.substr(equals + 1, 3)
                               : std::string();
  const PasswordReplyCode* accepted = nullptr;
  for (const PasswordReplyCode& entry : kAcceptedCodes) {
    if (code == entry.code) accepted = &entry;
  }
  if (accepted == nullptr) {
    if (code == "C04") {
      OV_LOG(kLogError, "CCID重複登録応答");
      return kPasswordDuplicate;
    }
    if (code == "E98") {
      OV_LOG(kLogError, "OTP取得時のE98応答");
      return kPasswordE98;
    }
    if (code == "E99") {
      OV_LOG(kLogError, "OTP取得時のE99応答");
      return kPasswordE99;
    }
    OV_LOG(kLogError, "正未定義のサーバー応答値 SVRRET:%s", ReplyForLog(reply).c_str());
    return kPasswordUndefined;
  }

  Credentials taken = _credentials;
  if (!TakeField(reply, "CCID=", kCcidLength, taken.ccid) ||
      !TakeField(reply, "PASS=", kPasswordLength, taken.password)) {
    OV_LOG(kLogError, "正常系応答時の情報不足 SVRRET:0x%08X", U(accepted->value));
    return kPasswordUndefined;
  }
  if (taken.result == 0) taken.result = accepted->value;
  taken.acquired = Now();
  _credentials = taken;
  CDataManager::GetInstance().SetData(CDataManager::kKeyTidewheelCredentials, &_credentials,
                                      sizeof(_credentials));
  return 0;
}

uint32_t CInfoChargeTidewheel::TidewheelRequest() {
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::TidewheelRequest - Start");
  const CUnitInfoFile unit(GetDriveLetter());
  const bool link_year = unit.GetFileKind() == 2;
  const int connection = link_year ? kConnectionTrafficLinkYear : kConnectionTraffic;
  const int32_t x = unit.GetMeshBaseX();
  const int32_t y = unit.GetMeshBaseY();
  const std::string target = FormatString("%d,%d", static_cast<int>(x), static_cast<int>(y));
  const std::string base =
      FormatString("%d,%d", static_cast<int>(x - kBaseOffsetX), static_cast<int>(y - kBaseOffsetY));
  core::TrafficRequest request;
  request.ccid = _credentials.ccid;
  request.otp = _credentials.password;
  request.map_version = unit.GetVersion(kDataIdTrafficMap);
  request.vics = _credentials.result != 0 ? kVicsProbeOff : kVicsProbeOn;
  request.target_point = target.c_str();
  request.base_point = base.c_str();
  request.comp_type = 0;
  request.traffic_class = 0;
  request.max = 61440;
  request.range = "3,3";
  request.geo = "tokyo";
  request.accuracy = 8;
  request.max_link = 7500;
  request.crypto_type = 1;

  core::ConnectionParameterData parameters;
  const bool set =
      link_year ? parameters.SetTrafficRequestLinkYearParameter(
                      request, static_cast<int32_t>(BcdToInt16(unit.GetVicsLinkYear())))
                : parameters.SetTrafficRequestParameter(request, unit.GetYear(kDataIdTrafficMap));
  std::vector<char> reply;
  if (const uint32_t code = PostForm(connection, set ? &parameters : nullptr,
                                     "QZTまたは、Tidewheel渋滞情報取得時のPOSTデータ生成失敗",
                                     kTrafficTexts, &reply)) {
    return code;
  }

  uint8_t* bytes = reinterpret_cast<uint8_t*>(reply.data());
  const uint32_t size = static_cast<uint32_t>(reply.size());
  if (const uint32_t code = CheckServerResponse(size, bytes)) return code;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  if (const uint32_t code = CheckTrafficData(bytes, size, &data, &length)) return code;
  if (data == nullptr || length == 0) {
    OV_LOG(kLogError, "渋滞情報データ書込みデータなし");
    return kNoTrafficData;
  }
  if (const uint32_t code = AcquisitiondatePreservation()) {
    OV_LOG(kLogError, "取得日時転送失敗[nResponse:0x%08X]", U(code));
    return code;
  }
  return WriteTrafficData(data, length);
}

uint32_t CInfoChargeTidewheel::WriteTrafficData(const uint8_t* data, uint32_t length) {
  if (GetDriveLetter() == 0) {
    OV_LOG(kLogError, "渋滞情報取得時-ドライブレター取得失敗");
    return kNoDriveLetter;
  }
  const std::string path = CardPath(kDataFile);
  CWinFileSystemLib files(_GetAbortEvent());
  DWORD error = 0;
  const uint32_t code =
      WriteCardFile(files, path, data, length, "QZTまたは、Tidewheel渋滞情報データ", &error);
  if (code != 0) {
    _detail = error;
    return code;
  }
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::TidewheelRequest - End");
  return 0;
}

uint32_t CInfoChargeTidewheel::CheckServerResponse(uint32_t size, const uint8_t* reply) {
  if (reply == nullptr || size == 0) {
    OV_LOG(kLogError, "サーバーレスポンス無し");
    return kNoReply;
  }
  if (reply[0] == kTypeData) {
    OV_LOG(kLogTrace, "正常データ受信 SIZE:%dBYTE", static_cast<int>(size));
    return 0;
  }
  if (reply[0] != kTypeError) {
    OV_LOG(kLogError, "未定義サーバーエラー DATATYPE:%02X", U(reply[0]));
    return kUndefinedServerError;
  }
  if (size < 4) {
    // An error reply too short to carry its number.
    OV_LOG(kLogError, "QZTエラー応答のサイズ不足 SIZE:%d", static_cast<int>(size));
    return kUndefinedServerError;
  }
  const uint16_t number = static_cast<uint16_t>(reply[2] << 8 | reply[3]);
  OV_LOG(kLogError, "QZTエラー %04X", U(number));
  for (const ServerErrorCode& entry : kServerErrors) {
    if (entry.number != number) continue;
    if (entry.code == kCredentialsExpired) {
      ClearCredentials();
      _SetRestart();
    }
    return entry.code;
  }
  OV_LOG(kLogError, "未定義サーバーエラー %04X", U(number));
  return kUndefinedServerError;
}

void CInfoChargeTidewheel::ClearCredentials() {
  _credentials = Credentials();
  CDataManager::GetInstance().SetData(CDataManager::kKeyTidewheelCredentials, nullptr, 0);
}

uint32_t CInfoChargeTidewheel::CheckTrafficData(uint8_t* reply, uint32_t size, uint8_t** data,
                                                uint32_t* length) {
  *data = nullptr;
  *length = 0;
  if (reply == nullptr || size == 0 || reply[0] != kTypeData) {
    OV_LOG(kLogError, "未定義サーバーエラー DATATYPE:%02X", size > 0 && reply ? U(reply[0]) : 0u);
    return kBadTrafficData;
  }
  // The length field: 1 to 4 bytes by the top bits of its first byte; its
  // value counts the field itself and the data.
  const uint32_t field = size > 1 ? (reply[1] >> 6) + 1u : 1u;
  if (size < 1 + field) {
    OV_LOG(kLogError, "データサイズ 不正 %d", static_cast<int>(size));
    return kBadTrafficData;
  }
  uint32_t value = reply[1] & 0x3Fu;
  for (uint32_t i = 1; i < field; ++i) value = value << 8 | reply[1 + i];
  if (value <= field) {
    OV_LOG(kLogError, "データサイズ 不正 %d", static_cast<int>(value >= field ? value - field : 0));
    return kBadTrafficData;
  }
  if (value > size - 1) {
    OV_LOG(kLogError, "データサイズ 不正(受信サイズより大きい) %d",
           static_cast<int>(value - field));
    return kBadTrafficData;
  }
  const uint32_t data_length = value - field;
  OV_LOG(kLogTrace, "受信QZTデータサイズ %d", static_cast<int>(data_length));
  *data = reply + 1 + field;
  *length = data_length;
  if (size >= 5 && reply[size - 5] == 0xFF && reply[size - 4] == 0x04) {
    OV_LOG(kLogError, "渋滞情報サイズ超過(続行) %04X", U(reply[size - 3] << 8 | reply[size - 2]));
    reply[size - 5] = 0;
  }
  return 0;
}

uint32_t CInfoChargeTidewheel::AcquisitiondatePreservation() {
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::AcquisitiondatePreservation - Start");
  const SYSTEMTIME now = Now();
  if (GetDriveLetter() == 0) {
    OV_LOG(kLogError, "取得日時作成時-ドライブレター取得失敗");
    return kNoDriveLetter;
  }
  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "日時データ保存時のSD無し");
    return CHARGE_RESULT_NOSD;
  }
  uint8_t bytes[24] = {};
  StoreLe32(bytes, 1);
  const WORD fields[] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  for (size_t i = 0; i < 6; ++i) StoreLe16(bytes + 4 + 2 * i, fields[i]);

  const std::string path = CardPath(kTimeFile);
  CWinFileSystemLib files(_GetAbortEvent());
  DWORD error = 0;
  const uint32_t code = WriteCardFile(files, path, bytes, sizeof(bytes),
                                      "QZTまたは、Tidewheel渋滞情報の取得日時", &error);
  if (code != 0) {
    _detail = error;
    return code;
  }
  OV_LOG(kLogTrace, "CInfoChargeTidewheel::AcquisitiondatePreservation - End");
  return 0;
}
