// The core's request parameters: the foundation's parameter values with the
// setters for the value kinds only the core sends (bytes, versions, indexed
// keys, dates) and one bundle per core request. Hand an object to
// CConnectionFile::SetParameters (or BuildRequestUrl) like the base class.
// One object belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ConnectionParameterData.h"
#include "OvWindows.h"

namespace core {

// One received data set of the receiver request.
struct ReceiverItem {
  BYTE type01 = 0;
  BYTE type02 = 0;
  BYTE cl = 0;
  SYSTEMTIME date = {};
  std::string version;
};

// The traffic requests' values; the starred ones of each bundle are checked.
struct TrafficRequest {
  const char* ccid = nullptr;          // *
  const char* otp = nullptr;           // *
  uint32_t map_version = 0;            // *
  int32_t vics = 0;                    // *
  const char* target_point = nullptr;  // *
  const char* base_point = nullptr;    // *
  int32_t comp_type = 0;
  int32_t traffic_class = 0;
  int32_t max = 0;
  const char* range = nullptr;
  const char* geo = nullptr;
  int32_t accuracy = 0;
  int32_t max_link = 0;
  int32_t crypto_type = 0;
};

class ConnectionParameterData final : public ::ConnectionParameterData {
 public:
  static constexpr int kMaxIndex = 99;

  void SetByteParameter(int id, BYTE value);
  void SetIndexedByteParameter(int id, BYTE value, int index);
  void SetIndexedDateParameter(int id, const SYSTEMTIME& time, int index);
  // index -1: the text is stored under the id.
  void SetIndexedTextParameter(int id, const char* text, int index);
  void SetVersionParameter(int id, uint32_t version);

  bool SetUserParameter(const char* ccid, const char* uid, int32_t function_code);
  bool SetUserDiruParameter(const char* ccid, const char* uid, const char* nickname,
                            const char* navi_model, const char* maker,
                            const char* application_version, const char* map_version,
                            int32_t function_code);
  bool SetUserNickParameter(const char* ccid, const char* uid, const char* nickname,
                            int32_t function_code);
  bool SetPortalParameter(const char* user_agent, const char* nickname, BYTE type01, BYTE type02,
                          const char* version, int32_t data_year, int32_t function_code);
  bool SetDownloadListParameter(uint32_t map_version, uint32_t search_version,
                                uint32_t navi_application_version, uint32_t bt_firmware_version,
                                uint32_t zudov_version, const char* device_no, uint32_t ccid_head);
  bool SetConfUrlParameter(uint32_t ccid_head, const char* device_no, BYTE type01, BYTE type02,
                           const char* version);
  bool SetReceiverParameter(uint32_t ccid_head, const char* device_no,
                            const std::vector<ReceiverItem>& items, int32_t function_code);
  bool SetOneTimePasswordParameter(const char* device_no, uint32_t half_ccid,
                                   int32_t function_code);
  // map_year: binary-coded decimal (0x2012 is sent as 2012).
  bool SetTrafficRequestParameter(const TrafficRequest& request, uint32_t map_year);
  bool SetTrafficRequestLinkYearParameter(const TrafficRequest& request, int32_t vics_link_year);
  bool SetSpeedURLParameter(uint32_t bits_per_second);
  bool SetSpeedRegistParameter(uint32_t ccid_head, const char* device_no, int32_t speed);

  // The circuit type of a measured line speed: 0 none, 4 up to 1 Mbit/s,
  // 3 up to 5, 2 up to 20, 1 above.
  static int CircuitType(uint32_t bits_per_second);

 private:
  // A row of the id with that value kind; null otherwise.
  static const ConnectionParameterRow* RowOfType(int id, int type);
  bool SetTrafficCommon(const TrafficRequest& request);
};

}  // namespace core
