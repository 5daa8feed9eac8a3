// The map charge's line-speed test; see MapSpeedTest.h.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ConnectionFile.h"
#include "CoreConnectionParameterData.h"
#include "Log.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"
#include "files/CoreConfig.h"
#include "map/MapSpeedTest.h"

namespace {

constexpr uint32_t kNoSavedSpeed = 0xFFFFFFFF;
// Speeds travel as signed decimal in the report and the settings, where
// -1 means "none saved": the measurement stays within this.
constexpr uint64_t kMaxSpeed = 0x7FFFFFFF;

constexpr uint32_t kServerCodeFlag = 0x10000000;

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, strlen(prefix), prefix) == 0;
}

// "RET=<n>" at the start: n, read up to the first non-digit ("&").
uint32_t ServerCode(const std::string& text) {
  return static_cast<uint32_t>(strtoul(text.c_str() + 4, nullptr, 10));
}

// The code of a reply error: the server's code in the low bits of base,
// or base's own fallback when the reply was merely unusable.
uint32_t ReplyErrorCode(uint32_t analysis, uint32_t base) {
  return (analysis & kServerCodeFlag) ? ((analysis ^ kServerCodeFlag) | base) : (base | 0xFFFF);
}

uint32_t BodyErrorCode(uint32_t mode) {
  switch (mode) {
    case kSpeedModeAddress:
      return 0xA0005;
    case kSpeedModeReport:
      return 0x8FF05;
    default:
      return 0x1FF05;
  }
}

}  // namespace

bool CMapSpeedTest::Run() {
  OV_LOG(kLogTrace, "CMapCharge::_SpeedTest - Start");
  if (!_context.card_present()) {
    OV_LOG(kLogError, "CMapCharge::_SpeedTest - SDカード未接続");
    ErrorCode() = 0x1FF06;
    return false;
  }
  const bool result = RunSteps();
  OV_LOG(kLogTrace, "CMapCharge::_SpeedTest - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapSpeedTest::RunSteps() {
  _context.config->LoadSpeedOfLine();
  LineSpeed() = static_cast<uint32_t>(_context.config->GetSpeedOfLine());
  if (LineSpeed() == 0 || LineSpeed() == kNoSavedSpeed) {
    LineSpeed() = 0;
    for (int pass = 0; pass < 2; ++pass) {
      std::string address;
      uint32_t current = LineSpeed();
      if (!MeasurementSpeedOfLine(kSpeedModeAddress, &address, &current)) {
        OV_LOG(kLogError, "CMapCharge::_SpeedTest - 回線速度計測用コンテンツURL取得失敗");
        return false;
      }
      MeasurementSpeedOfLine(kSpeedModeMeasure, &address, _context.line_speed);
      if (LineSpeed() == 0) {
        OV_LOG(kLogError, "CMapCharge::_SpeedTest - 回線速度計測失敗");
        // No speed is never a success, whatever the exchange left.
        if (ErrorCode() == 0) ErrorCode() = 0x21FFFF;
        return false;
      }
    }
    if (!MeasurementSpeedOfLine(kSpeedModeReport, nullptr, _context.line_speed)) {
      OV_LOG(kLogError, "CMapCharge::_SpeedTest - 回線速度通知失敗");
      return false;
    }
    if (!_context.card_present()) {
      OV_LOG(kLogError, "CMapCharge::_SpeedTest - SDカード未接続");
      ErrorCode() = 0x8FF06;
      return false;
    }
    SaveSpeedOfLine(LineSpeed());
  }
  uint32_t threshold = 0;
  MeasurementSpeedOfLine(kSpeedModeLimit, nullptr, &threshold);
  if (LineSpeed() >= threshold) return true;
  // Too slow: nothing is kept, so the next run measures again.
  SaveSpeedOfLine(0);
  if (ErrorCode() == 0) {
    OV_LOG(kLogError, "CMapCharge::_SpeedTest - 回線速度不足 NOW:%d SRV:%d",
           static_cast<int>(LineSpeed()), static_cast<int>(threshold));
    ErrorCode() = 0x10106;
  }
  return false;
}

bool CMapSpeedTest::BuildRequest(uint32_t mode, uint32_t value, std::string* url,
                                 std::string* body) {
  core::ConnectionParameterData parameters;
  int id = 13;
  bool set = true;
  if (mode == kSpeedModeAddress) {
    set = parameters.SetSpeedURLParameter(value);
  } else {
    id = mode == kSpeedModeReport ? 14 : 15;
    set = parameters.SetSpeedRegistParameter(
        *_context.ccid_head, _context.device_no->c_str(),
        static_cast<int32_t>(std::min<uint64_t>(value, kMaxSpeed)));
  }
  CConnectionFile& connections = CConnectionFile::GetInstance();
  connections.SetParameters(parameters);
  if (!set || !connections.BuildFormData(id, body)) {
    const auto error = static_cast<unsigned>(GetLastError());
    if (mode == kSpeedModeAddress) {
      OV_LOG(
          kLogError,
          "CMapCharge::_MeasurementSpeedOfLine - 計測用ファイルURLのPOSTデータ生成失敗[ERR:0x%08X]",
          error);
    } else {
      OV_LOG(kLogError,
             "CMapCharge::_MeasurementSpeedOfLine - 計測結果通知のPOSTデータ生成失敗[ERR:0x%08X]",
             error);
    }
    ErrorCode() = BodyErrorCode(mode);
    return false;
  }
  *url = connections.GetUrl(id);
  return true;
}

void CMapSpeedTest::FinishMeasurement(size_t size, DWORD start, uint32_t* speed) {
  if (size == 0) {
    OV_LOG(kLogError,
           "CMapCharge::_MeasurementSpeedOfLine - 回線速度測定用コンテンツ取得時のデータエラー");
    *speed = 0;
    ErrorCode() = 0x21FFFF;
    return;
  }
  DWORD elapsed = _context.tick() - start;
  if (elapsed <= 1) elapsed = 1;
  // In 64 bits: the 32-bit product wraps on fast lines, and dividing first
  // gives 0 on slow ones. A file that arrived has a speed of at least 1.
  const uint64_t bits = static_cast<uint64_t>(size) * 8000 / elapsed;
  *speed = static_cast<uint32_t>(std::clamp<uint64_t>(bits, 1, kMaxSpeed));
  OV_LOG(kLogError, "CMapCharge::_MeasurementSpeedOfLine - 回線速度測定結果 = %d bit/sec",
         static_cast<int>(*speed));
  ErrorCode() = 0;
}

bool CMapSpeedTest::AnalyzeReply(uint32_t mode, const std::vector<char>& reply,
                                 std::string* address, uint32_t* value) {
  uint32_t analysis = 0;
  uint32_t base = 0;
  const char* message = nullptr;
  switch (mode) {
    case kSpeedModeAddress:
      analysis = AnalyzeSpeedTestUri(address, reply.size(), reply.data());
      base = 0x270000;
      message =
          "CMapCharge::_MeasurementSpeedOfLine -  回線速度測定用コンテンツURL取得時のデータエラー";
      break;
    case kSpeedModeLimit:
      analysis = AnalyzeThreshold(reply.data(), reply.size(), value);
      if (analysis) *value = 0xFFFFFFFF;
      base = 0x290000;
      message = "CMapCharge::_MeasurementSpeedOfLine - 回線速度閾値取得時のデータエラー";
      break;
    default:
      analysis = AnalyzeSpeedReport(reply.data(), reply.size());
      base = 0x280000;
      message = "CMapCharge::_MeasurementSpeedOfLine - 回線速度測定結果通知時のデータエラー";
      break;
  }
  if (analysis) {
    ErrorCode() = ReplyErrorCode(analysis, base);
    OV_LOG(kLogError, "%s", message);
    return false;
  }
  ErrorCode() = 0;
  return true;
}

bool CMapSpeedTest::MeasurementSpeedOfLine(uint32_t mode, std::string* address, uint32_t* value) {
  if (mode != kSpeedModeMeasure && mode != kSpeedModeAddress && mode != kSpeedModeReport &&
      mode != kSpeedModeLimit) {
    OV_LOG(kLogError, "CMapCharge::_MeasurementSpeedOfLine - パラメータ不正[para=%d]",
           static_cast<int>(mode));
    ErrorCode() = mode | 0x400000;
    return false;
  }
  OV_LOG(kLogTrace, "CMapCharge::_MeasurementSpeedOfLine - Start");
  const bool result = MeasurementSteps(mode, address, value);
  OV_LOG(kLogTrace, "CMapCharge::_MeasurementSpeedOfLine - End(%d)", result ? 1 : 0);
  return result;
}

bool CMapSpeedTest::MeasurementSteps(uint32_t mode, std::string* address, uint32_t* value) {
  const auto fail = [this, mode](uint32_t code) {
    OV_LOG(kLogError,
           "CMapCharge::_MeasurementSpeedOfLine - 回線速度測定失敗[ID:0x%08X, ERR:0x%08X]",
           static_cast<unsigned>(mode), static_cast<unsigned>(code));
    ErrorCode() = code;
    return false;
  };
  std::string url;
  std::string body;
  DWORD start = 0;
  if (mode == kSpeedModeMeasure) {
    start = _context.tick();
    if (!address || address->empty()) return fail(mode | 0x10FF04);
    url = *address;
  } else if (!BuildRequest(mode, value ? *value : 0, &url, &body)) {
    return false;
  }
  CWinHttpWrapper http;
  HttpExchange exchange;
  _context.post_form(http, url, body, &exchange);
  switch (exchange.stage) {
    case HttpExchange::kPrepareFailed:
    case HttpExchange::kOpenFailed:
      return fail(mode | 0x10FF04);
    case HttpExchange::kAborted:
      OV_LOG(kLogInfo, "CMapCharge::_MeasurementSpeedOfLine - 回線速度測定ユーザキャンセル");
      return fail(mode | 0xFF00);
    case HttpExchange::kWaitFailed:
      return fail(mode | 0xFFFF);
    case HttpExchange::kDone:
      break;
  }
  if (exchange.result != 0) {
    if (value) *value = 0;
    OV_LOG(kLogError,
           "CMapCharge::_MeasurementSpeedOfLine - 回線速度測定失敗[ID:0x%08X, RES:0x%08X]",
           static_cast<unsigned>(mode), static_cast<unsigned>(exchange.result));
    ErrorCode() = mode | (exchange.result & 0xEFFFFFFF) | 0x100000;
    return false;
  }
  if (mode == kSpeedModeMeasure) {
    // The caller looks at the speed; the exchange itself reports false.
    FinishMeasurement(http.GetReply().size(), start, value);
    return false;
  }
  return AnalyzeReply(mode, http.GetReply(), address, value);
}

uint32_t CMapSpeedTest::AnalyzeSpeedTestUri(std::string* address, size_t size, const char* reply) {
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeSpeedTestUri - Start");
  uint32_t result = 1;
  if (address && reply && size > 0) {
    const std::string text(reply, size);
    address->clear();
    if (!StartsWith(text, "RET=")) {
      result = 0;
    } else if (const uint32_t code = ServerCode(text)) {
      result = code | kServerCodeFlag;
    } else {
      const size_t at = text.find("URL=");
      if (at != std::string::npos) {
        *address = text.substr(at + 4);
        // A line end after the address is no part of it.
        address->erase(address->find_last_not_of(" \t\r\n") + 1);
      }
      result = address->empty() ? 1 : 0;
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeSpeedTestUri - End(%08X)", static_cast<unsigned>(result));
  return result;
}

uint32_t CMapSpeedTest::AnalyzeThreshold(const char* reply, size_t size, uint32_t* threshold) {
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeThreshold - Start");
  uint32_t result = 1;
  if (threshold && reply && size > 0) {
    const std::string text(reply, size);
    if (!StartsWith(text, "RET=")) {
      result = 0;
    } else if (const uint32_t code = ServerCode(text)) {
      result = code | kServerCodeFlag;
    } else {
      const size_t at = text.find("LIMIT=");
      if (at != std::string::npos && at + 6 < text.size() &&
          isdigit(static_cast<unsigned char>(text[at + 6]))) {
        *threshold = static_cast<uint32_t>(strtoul(text.c_str() + at + 6, nullptr, 10));
        result = 0;
      }
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeThreshold - End(%08X)", static_cast<unsigned>(result));
  return result;
}

uint32_t CMapSpeedTest::AnalyzeSpeedReport(const char* reply, size_t size) {
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeSpeedReport - Start");
  uint32_t result = 1;
  if (reply && size > 0) {
    const std::string text(reply, size);
    if (StartsWith(text, "RET=")) {
      const uint32_t code = ServerCode(text);
      result = code ? (code | kServerCodeFlag) : 0;
    }
  }
  OV_LOG(kLogTrace, "CMapCharge::_AnalyzeSpeedReport - End(%08X)", static_cast<unsigned>(result));
  return result;
}

void CMapSpeedTest::SaveSpeedOfLine(uint32_t speed) {
  if (!_context.config->SaveSpeedOfLine(static_cast<int>(speed))) {
    OV_LOG(kLogError, "CMapCharge::_SaveSpeedOfLine - error[%08X]",
           static_cast<unsigned>(GetLastError()));
  }
}
