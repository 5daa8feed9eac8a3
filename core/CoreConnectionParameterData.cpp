// The core's request parameters; see CoreConnectionParameterData.h.
#include "CoreConnectionParameterData.h"

#include "StringUtil.h"

namespace core {

namespace {

// The decimal number that the hexadecimal digits of a binary-coded decimal
// spell; false for a digit above 9.
bool BcdToDecimal(uint32_t bcd, int32_t* value) {
  int32_t out = 0;
  int32_t scale = 1;
  for (int shift = 0; shift < 32; shift += 4) {
    const uint32_t digit = (bcd >> shift) & 0xF;
    if (digit > 9) return false;
    out += static_cast<int32_t>(digit) * scale;
    if (shift < 28) scale *= 10;
  }
  *value = out;
  return true;
}

}  // namespace

const ConnectionParameterRow* ConnectionParameterData::RowOfType(int id, int type) {
  const ConnectionParameterRow* row = FindRow(id);
  return row && row->type == type ? row : nullptr;
}

void ConnectionParameterData::SetByteParameter(int id, BYTE value) {
  const ConnectionParameterRow* row = RowOfType(id, kParamByte);
  const int64_t v = value;
  std::string text;
  if (row && FormatParameterValue(row->format, &v, 1, &text)) StoreValue(*row, text);
}

void ConnectionParameterData::SetIndexedByteParameter(int id, BYTE value, int index) {
  const ConnectionParameterRow* row = RowOfType(id, kParamByte);
  if (!row || index < 0 || index > kMaxIndex) return;
  const int64_t v = value;
  std::string text;
  if (FormatParameterValue(row->format, &v, 1, &text)) StoreIndexedValue(*row, index, text);
}

void ConnectionParameterData::SetIndexedDateParameter(int id, const SYSTEMTIME& time, int index) {
  const ConnectionParameterRow* row = RowOfType(id, kParamDate);
  if (!row || index < 0 || index > kMaxIndex) return;
  const int64_t fields[6] = {time.wYear, time.wMonth,  time.wDay,
                             time.wHour, time.wMinute, time.wSecond};
  std::string text;
  if (FormatParameterValue(row->format, fields, 6, &text)) StoreIndexedValue(*row, index, text);
}

void ConnectionParameterData::SetIndexedTextParameter(int id, const char* text, int index) {
  const ConnectionParameterRow* row = FindRow(id);
  if (!row || !text) return;
  if (index == -1) {
    StoreValue(*row, text);
  } else if (index >= 0) {
    StoreIndexedValue(*row, index, text);
  }
}

void ConnectionParameterData::SetVersionParameter(int id, uint32_t version) {
  const ConnectionParameterRow* row = RowOfType(id, kParamVersion);
  const int64_t parts[2] = {version >> 24, version & 0xFFFFFF};
  std::string text;
  if (row && FormatParameterValue(row->format, parts, 2, &text)) StoreValue(*row, text);
}

bool ConnectionParameterData::SetUserParameter(const char* ccid, const char* uid,
                                               int32_t function_code) {
  if (!ccid || !uid) return false;
  SetParameter(7, ccid);
  SetParameter(31, uid);
  SetIntParameter(30, function_code);
  return true;
}

bool ConnectionParameterData::SetUserDiruParameter(const char* ccid, const char* uid,
                                                   const char* nickname, const char* navi_model,
                                                   const char* maker,
                                                   const char* application_version,
                                                   const char* map_version, int32_t function_code) {
  if (!ccid || !uid || !nickname || !navi_model || !maker || !application_version || !map_version) {
    return false;
  }
  SetUserParameter(ccid, uid, function_code);
  SetParameter(101, nickname);
  SetParameter(102, navi_model);
  SetParameter(103, maker);
  SetParameter(104, application_version);
  SetParameter(105, map_version);
  return true;
}

bool ConnectionParameterData::SetUserNickParameter(const char* ccid, const char* uid,
                                                   const char* nickname, int32_t function_code) {
  if (!ccid || !uid || !nickname) return false;
  SetUserParameter(ccid, uid, function_code);
  SetParameter(101, nickname);
  return true;
}

bool ConnectionParameterData::SetPortalParameter(const char* user_agent, const char* nickname,
                                                 BYTE type01, BYTE type02, const char* version,
                                                 int32_t data_year, int32_t function_code) {
  if (!user_agent || !nickname) return false;
  SetParameter(200, user_agent);
  SetParameter(202, nickname);
  SetByteParameter(60, type01);
  SetByteParameter(61, type02);
  SetParameter(203, version);
  SetIntParameter(204, data_year);
  SetIntParameter(201, function_code);
  return true;
}

bool ConnectionParameterData::SetDownloadListParameter(uint32_t map_version,
                                                       uint32_t search_version,
                                                       uint32_t navi_application_version,
                                                       uint32_t bt_firmware_version,
                                                       uint32_t zudov_version,
                                                       const char* device_no, uint32_t ccid_head) {
  if (!device_no || ccid_head == 0) return false;
  SetVersionParameter(80, map_version);
  SetVersionParameter(81, search_version);
  SetVersionParameter(82, navi_application_version);
  SetVersionParameter(83, bt_firmware_version);
  if (zudov_version != 0) SetVersionParameter(84, zudov_version);
  SetParameter(85, GetAplVersion(nullptr).c_str());
  SetCcidHeadParameter(8, ccid_head);
  SetParameter(3, device_no);
  return true;
}

bool ConnectionParameterData::SetConfUrlParameter(uint32_t ccid_head, const char* device_no,
                                                  BYTE type01, BYTE type02, const char* version) {
  if (ccid_head == 0 || !device_no) return false;
  SetCcidHeadParameter(8, ccid_head);
  SetParameter(3, device_no);
  SetByteParameter(60, type01);
  SetByteParameter(61, type02);
  SetParameter(63, version);
  return true;
}

bool ConnectionParameterData::SetReceiverParameter(uint32_t ccid_head, const char* device_no,
                                                   const std::vector<ReceiverItem>& items,
                                                   int32_t function_code) {
  if (ccid_head == 0 || !device_no || items.empty()) return false;
  SetCcidHeadParameter(8, ccid_head);
  SetParameter(3, device_no);
  SetIntParameter(70, function_code);
  SetIntParameter(71, static_cast<int32_t>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    const int index = static_cast<int>(i);
    SetIndexedByteParameter(72, items[i].type01, index);
    SetIndexedByteParameter(73, items[i].type02, index);
    SetIndexedByteParameter(76, items[i].cl, index);
    SetIndexedTextParameter(74, items[i].version.c_str(), index);
    SetIndexedDateParameter(75, items[i].date, index);
  }
  return true;
}

bool ConnectionParameterData::SetOneTimePasswordParameter(const char* device_no, uint32_t half_ccid,
                                                          int32_t function_code) {
  if (!device_no || half_ccid == 0) return false;
  SetParameter(4, device_no);
  SetCcidHeadParameter(9, half_ccid);
  SetIntParameter(30, function_code);
  return true;
}

bool ConnectionParameterData::SetTrafficCommon(const TrafficRequest& r) {
  if (!r.ccid || !r.otp || r.map_version == 0 || r.vics == 0 || !r.target_point || !r.base_point) {
    return false;
  }
  SetParameter(7, r.ccid);
  SetParameter(32, r.otp);
  const ConnectionParameterRow* row = FindRow(33);
  const int64_t version[2] = {r.map_version >> 24, r.map_version & 0xFFFFFF};
  std::string text;
  if (row && FormatParameterValue(row->format, version, 2, &text)) StoreValue(*row, text);
  SetIntParameter(36, r.vics);
  SetParameter(41, r.target_point);
  SetParameter(42, r.base_point);
  SetIntParameter(34, r.comp_type & 0xFF);
  SetIntParameter(35, r.traffic_class & 0xFF);
  SetIntParameter(37, r.max);
  SetParameter(38, r.range);
  SetParameter(39, r.geo);
  SetIntParameter(40, r.accuracy & 0xFF);
  SetIntParameter(44, r.max_link);
  SetIntParameter(45, r.crypto_type & 0xFF);
  return true;
}

bool ConnectionParameterData::SetTrafficRequestParameter(const TrafficRequest& request,
                                                         uint32_t map_year) {
  if (map_year == 0 || !SetTrafficCommon(request)) return false;
  // A year that is not binary-coded decimal stays unset: the body is then
  // refused for the missing value instead of carrying a wrong year.
  int32_t year = 0;
  if (BcdToDecimal(map_year, &year)) SetIntParameter(43, year);
  return true;
}

bool ConnectionParameterData::SetTrafficRequestLinkYearParameter(const TrafficRequest& request,
                                                                 int32_t vics_link_year) {
  if (vics_link_year == 0 || !SetTrafficCommon(request)) return false;
  SetIntParameter(100, vics_link_year);
  return true;
}

int ConnectionParameterData::CircuitType(uint32_t bits_per_second) {
  if (bits_per_second == 0) return 0;
  if (bits_per_second <= 1000000) return 4;
  if (bits_per_second <= 5000000) return 3;
  if (bits_per_second <= 20000000) return 2;
  return 1;
}

bool ConnectionParameterData::SetSpeedURLParameter(uint32_t bits_per_second) {
  SetIntParameter(78, CircuitType(bits_per_second));
  return true;
}

bool ConnectionParameterData::SetSpeedRegistParameter(uint32_t ccid_head, const char* device_no,
                                                      int32_t speed) {
  if (ccid_head == 0 || !device_no) return false;
  SetCcidHeadParameter(8, ccid_head);
  SetParameter(3, device_no);
  SetIntParameter(77, speed);
  return true;
}

}  // namespace core
