// Request parameter values and the parameter table; see ConnectionParameterData.h.
#include "ConnectionParameterData.h"

#include <cstring>

#include "Folders.h"
#include "StringUtil.h"
#include "Version.h"

namespace {

constexpr BYTE Y = 1;
constexpr BYTE N = 0;
constexpr int kFree = -1;

// Ids are unique; the lookup takes the first row with an id all the same.
// Every value is percent-encoded: a text holding "&" or "=" would break the
// form body or query. Raw are only the upload's file path (a multipart part
// of its own) and map_ver, a number behind a fixed prefix that the server
// takes as it is.
const ConnectionParameterRow kRows[] = {
    {1, kParamText, kFree, Y, Y, "nick", "%s"},
    {2, kParamText, kFree, Y, Y, "pass", "%s"},
    {3, kParamText, kFree, Y, Y, "deviceno", "%016I64X"},
    {4, kParamText, kFree, Y, Y, "deviceNo", "%016I64X"},
    {5, kParamNumber64, 16, Y, Y, "ccid", "%04d%04d%08"},
    {6, kParamNumber64, 16, Y, Y, "id", "%016I64X"},
    {7, kParamText, kFree, Y, Y, "ccid", "%s"},
    {8, kParamNumber, 4, Y, Y, "ccid_head", "%08X"},
    {9, kParamNumber, 4, Y, Y, "halfCcid", "%08X"},
    {10, kParamText, kFree, Y, Y, "aplver", "%s"},
    {11, kParamNumber, 4, Y, Y, "apltype", "%04d"},
    {30, kParamNumber, 2, Y, Y, "fc", "%02d"},
    {70, kParamNumber, 1, Y, Y, "fc", "%d"},
    {31, kParamText, 10, Y, Y, "uid", "%s"},
    {32, kParamText, kFree, Y, Y, "otp", "%s"},
    {33, kParamNumber, kFree, Y, N, "map_ver", "‐/%d.%06d"},
    {34, kParamNumber, 1, Y, Y, "comp_type", "%d"},
    {35, kParamNumber, 1, Y, Y, "class", "%d"},
    {36, kParamNumber, 3, Y, Y, "vics", "%d"},
    {37, kParamNumber, 10, Y, Y, "max", "%d"},
    {38, kParamText, kFree, Y, Y, "range", "%s"},
    {39, kParamText, kFree, Y, Y, "geo", "%s"},
    {40, kParamNumber, 1, Y, Y, "accuracy", "%d"},
    {41, kParamText, kFree, Y, Y, "target_point", "%s"},
    {42, kParamText, kFree, Y, Y, "base_point", "%s"},
    {43, kParamNumber, 4, Y, Y, "map_year", "%d"},
    {44, kParamNumber, 4, Y, Y, "max_link", "%d"},
    {45, kParamNumber, 1, Y, Y, "crypto_type", "%d"},
    {50, kParamText, kFree, N, Y, "dat", "%s"},
    {60, kParamByte, 2, Y, Y, "type01", "%02X"},
    {61, kParamByte, 2, N, Y, "type02", "%02X"},
    {62, kParamNumber, kFree, Y, Y, "year", "%04d年度版"},
    {63, kParamText, 9, Y, Y, "ver", "%s"},
    {71, kParamNumber, kFree, Y, Y, "count_data", "%d"},
    {72, kParamByte, 2, N, Y, "type01_%02d", "%02X"},
    {73, kParamByte, 2, N, Y, "type02_%02d", "%02X"},
    {74, kParamNumber, 9, N, Y, "ver_%02d", "%09X"},
    {75, kParamDate, kFree, N, Y, "date_%02d", "%04d%02d%02d%02d%02d%02d"},
    {76, kParamByte, 1, N, Y, "cl_%02d", "%d"},
    {77, kParamNumber, 10, Y, Y, "speed", "%d"},
    {78, kParamNumber, 1, N, Y, "circuit_type", "%d"},
    {80, kParamVersion, 9, Y, Y, "mapver", "%X.%06X"},
    {81, kParamVersion, 9, Y, Y, "searchver", "%X.%06X"},
    {82, kParamVersion, 9, Y, Y, "naviaplver", "%X.%06X"},
    {83, kParamVersion, 9, Y, Y, "btfwver", "%X.%06X"},
    {84, kParamVersion, 9, N, Y, "orbisver", "%X.%06X"},
    {85, kParamText, kFree, Y, Y, "aplver", "%s"},
    {200, kParamText, kFree, Y, Y, "pcsoft-userAgent", "%s"},
    {201, kParamNumber, 9, Y, Y, "functionCode", "%d"},
    {202, kParamText, kFree, N, Y, "nickname", "%s"},
    {203, kParamText, kFree, Y, Y, "ver", "%s"},
    {204, kParamNumber, kFree, Y, Y, "datayear", "%04d"},
    {90, kParamNumber, kFree, Y, N, "file", "%s"},
    {100, kParamNumber, 4, Y, Y, "vics_link_year", "%d"},
    {101, kParamText, kFree, Y, Y, "nickname", "%s"},
    {102, kParamText, kFree, Y, Y, "navimodel", "%s"},
    {103, kParamText, kFree, N, Y, "maker", "%s"},
    {104, kParamText, kFree, Y, Y, "aplver", "%s"},
    {105, kParamText, kFree, Y, Y, "mapver", "%s"},
};

constexpr size_t kMaxNumberText = 19;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendNumber(std::string& out, int64_t value, bool hex, bool zero_pad, int width) {
  char digits[32];
  int n = 0;
  const bool negative = !hex && value < 0;
  // %X shows the 32-bit pattern, as printf does for an unsigned int.
  uint64_t magnitude =
      hex ? static_cast<uint32_t>(value)
          : (negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
  const unsigned base = hex ? 16 : 10;
  do {
    digits[n++] = "0123456789ABCDEF"[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  const int used = n + (negative ? 1 : 0);
  if (!zero_pad) out.append(width > used ? width - used : 0, ' ');
  if (negative) out += '-';
  if (zero_pad) out.append(width > used ? width - used : 0, '0');
  while (n > 0) out += digits[--n];
}

}  // namespace

bool FormatParameterValue(const char* format, const int64_t* values, size_t count,
                          std::string* out) {
  if (!format) return false;
  std::string text;
  size_t used = 0;
  for (const char* p = format; *p; ++p) {
    if (IsCp932LeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      text += *p++;
      text += *p;
      continue;
    }
    if (*p != '%') {
      text += *p;
      continue;
    }
    ++p;
    if (*p == '%') {
      text += '%';
      continue;
    }
    const bool zero_pad = *p == '0';
    if (zero_pad) ++p;
    int width = 0;
    while (IsDigit(*p) && width < 100) width = width * 10 + (*p++ - '0');
    if ((*p != 'd' && *p != 'X') || used == count) return false;
    AppendNumber(text, values[used++], *p == 'X', zero_pad, width);
  }
  if (used != count) return false;
  *out = text;
  return true;
}

const ConnectionParameterRow* ConnectionParameterData::FindRow(int id) {
  for (const ConnectionParameterRow& row : kRows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

const ConnectionParameterRow* ConnectionParameterData::Rows(size_t* count) {
  *count = sizeof(kRows) / sizeof(kRows[0]);
  return kRows;
}

std::string ConnectionParameterData::EncodeForRow(const ConnectionParameterRow& row,
                                                  const std::string& text) {
  return row.encode ? PercentEncode(text) : text;
}

void ConnectionParameterData::StoreValue(const ConnectionParameterRow& row,
                                         const std::string& text) {
  _values[row.id] = EncodeForRow(row, text);
}

void ConnectionParameterData::StoreIndexedValue(const ConnectionParameterRow& row, int index,
                                                const std::string& text) {
  const int64_t i = index;
  std::string key;
  if (!FormatParameterValue(row.key, &i, 1, &key)) return;
  _free_pairs[key] = EncodeForRow(row, text);
}

std::string ConnectionParameterData::FormatCcidHead(uint32_t value) {
  const int64_t halves[2] = {value & 0xFFFF, value >> 16};
  std::string text;
  FormatParameterValue("%04d%04X", halves, 2, &text);
  return text;
}

void ConnectionParameterData::SetParameter(int id, const char* text) {
  const ConnectionParameterRow* row = FindRow(id);
  if (!row || !text) return;
  std::string value(text);
  // A fixed length cuts the text there, never inside a two-byte character.
  if (row->length >= 0 && value.size() > static_cast<size_t>(row->length)) {
    value.resize(Cp932SafeLength(value.data(), static_cast<size_t>(row->length)));
  }
  StoreValue(*row, value);
}

void ConnectionParameterData::SetIntParameter(int id, int32_t value) {
  const ConnectionParameterRow* row = FindRow(id);
  if (!row || row->type != kParamNumber) return;
  const int64_t v = value;
  std::string text;
  if (!FormatParameterValue(row->format, &v, 1, &text)) return;
  if (text.size() > kMaxNumberText) text.resize(Cp932SafeLength(text.data(), kMaxNumberText));
  StoreValue(*row, text);
}

void ConnectionParameterData::SetCcidHeadParameter(int id, uint32_t value) {
  const ConnectionParameterRow* row = FindRow(id);
  if (!row) return;
  _values[id] = PercentEncode(FormatCcidHead(value));
}

std::string ConnectionParameterData::GetAplVersionOfFile(const std::string& path) {
  if (path.empty()) return "0.0.0.0";
  CFileVersionInfo info;
  const int failure = info.Load(path);
  if (failure == 1) return "0.0.0.1";
  const std::string text = failure == 0 ? info.GetFileVersion() : std::string();
  if (text.empty()) return "0.0.0.2";
  return NormalizeVersionText(text);
}

std::string ConnectionParameterData::NormalizeVersionText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ',') {
      out += '.';
    } else if (c != ' ') {
      out += c;
    }
  }
  return out;
}

std::string ConnectionParameterData::GetAplVersion(HMODULE module) {
  return GetAplVersionOfFile(GetModulePath(module));
}

bool ConnectionParameterData::SetUserParameters(const char* nickname, const char* password,
                                                const char* device_no, uint32_t ccid_head) {
  if (!nickname || !password || !device_no || ccid_head == 0) return false;
  SetParameter(1, nickname);
  SetParameter(2, password);
  SetParameter(3, device_no);
  SetCcidHeadParameter(8, ccid_head);
  return true;
}

bool ConnectionParameterData::SetAplParameters(int32_t application_type) {
  SetParameter(10, GetAplVersion(nullptr).c_str());
  SetIntParameter(11, application_type);
  return true;
}

bool ConnectionParameterData::SetUserAgentParameters(const char* user_agent, const char* nickname,
                                                     int32_t function_code) {
  if (!user_agent || !nickname) return false;
  SetParameter(200, user_agent);
  SetParameter(202, nickname);
  SetIntParameter(201, function_code);
  return true;
}

bool ConnectionParameterData::SetDeviceParameters(const char* device_no, uint32_t ccid_head) {
  if (!device_no || ccid_head == 0) return false;
  SetCcidHeadParameter(8, ccid_head);
  SetParameter(3, device_no);
  return true;
}

bool ConnectionParameterData::SetLogFileParameters(const char* device_no, uint32_t ccid_head,
                                                   const char* log_file) {
  if (!device_no || ccid_head == 0 || !log_file) return false;
  SetCcidHeadParameter(8, ccid_head);
  SetParameter(3, device_no);
  SetParameter(90, log_file);
  return true;
}

std::string ConnectionParameterData::GetKey(int id) {
  const ConnectionParameterRow* row = FindRow(id);
  return row ? row->key : std::string();
}

bool ConnectionParameterData::IsRequired(int id) {
  const ConnectionParameterRow* row = FindRow(id);
  return row ? row->required != 0 : true;
}

std::string ConnectionParameterData::GetValue(int id) const {
  const auto it = _values.find(id);
  return it == _values.end() ? std::string() : it->second;
}
