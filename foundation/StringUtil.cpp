// Text helpers; see StringUtil.h. No shared state.
#include "StringUtil.h"

#include <cstdio>
#include <cstring>
#include <cwctype>

size_t Cp932SafeLength(const char* s, size_t n) {
  size_t i = 0;
  while (i < n) {
    const size_t step = IsCp932LeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  return i;
}

std::string FormatStringV(const char* format, va_list args) {
  std::vector<char> buffer(1024);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    const int n = vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatStringV(format, args);
  va_end(args);
  return s;
}

void ReplaceAll(std::string& text, const std::string& find, const std::string& replacement) {
  if (find.empty()) return;
  size_t pos = 0;
  while ((pos = text.find(find, pos)) != std::string::npos) {
    text.replace(pos, find.size(), replacement);
    pos += replacement.size();
  }
}

std::string RemoveChar(const std::string& text, char c) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (ch != c) out += ch;
  }
  return out;
}

std::string TrimChar(const std::string& text, char c) {
  const size_t last = text.find_last_not_of(c);
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string TrimString(const std::string& text) { return TrimChar(text, ' '); }

std::string ToMultiByte(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring ToUpperW(const std::wstring& text) {
  std::wstring out(text);
  for (auto& c : out) c = static_cast<wchar_t>(towupper(c));
  return out;
}

std::wstring ToLowerW(const std::wstring& text) {
  std::wstring out(text);
  for (auto& c : out) c = static_cast<wchar_t>(towlower(c));
  return out;
}

std::string ToUpper(const std::string& text) { return ToMultiByte(ToUpperW(ToWide(text))); }
std::string ToLower(const std::string& text) { return ToMultiByte(ToLowerW(ToWide(text))); }

namespace {

template <typename S>
std::vector<S> SplitImpl(const S& text, const S& separator, size_t max_parts) {
  std::vector<S> parts;
  size_t pos = 0;
  while (pos < text.size()) {
    const bool may_split = max_parts == 0 || parts.size() + 1 < max_parts;
    const size_t hit = (may_split && !separator.empty()) ? text.find(separator, pos) : S::npos;
    if (hit == S::npos) {
      parts.push_back(text.substr(pos));
      break;
    }
    parts.push_back(text.substr(pos, hit - pos));
    pos = hit + separator.size();
  }
  return parts;
}

}  // namespace

std::vector<std::string> SplitString(const std::string& text, const std::string& separator,
                                     size_t max_parts) {
  return SplitImpl(text, separator, max_parts);
}

std::vector<std::wstring> SplitStringW(const std::wstring& text, const std::wstring& separator,
                                       size_t max_parts) {
  return SplitImpl(text, separator, max_parts);
}

bool ConvertCodePage(const std::string& text, UINT from_code_page, UINT to_code_page,
                     std::string* out) {
  if (text.empty()) {
    out->clear();
    return true;
  }
  const int wn = MultiByteToWideChar(from_code_page, MB_ERR_INVALID_CHARS, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0);
  if (wn <= 0) return false;
  std::wstring wide(wn, L'\0');
  MultiByteToWideChar(from_code_page, MB_ERR_INVALID_CHARS, text.data(),
                      static_cast<int>(text.size()), &wide[0], wn);
  const int n = WideCharToMultiByte(to_code_page, 0, wide.data(), wn, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string result(n, '\0');
  WideCharToMultiByte(to_code_page, 0, wide.data(), wn, &result[0], n, nullptr, nullptr);
  out->swap(result);
  return true;
}

std::string PercentEncode(const std::string& text) {
  std::string utf8;
  if (text.empty() || !ConvertCodePage(text, CP_ACP, CP_UTF8, &utf8)) return std::string();
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size() * 3);
  for (unsigned char c : utf8) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

unsigned char SwapNibbles(unsigned char v) {
  return static_cast<unsigned char>((v << 4) | (v >> 4));
}

}  // namespace

bool HexEncodeText(const char* text, char* out, size_t* size, bool swap_nibbles) {
  static const char kHex[] = "0123456789ABCDEF";
  const size_t length = strlen(text);
  const size_t needed = length * 4 + 1;
  if (out == nullptr || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  for (size_t i = 0; i < length; ++i) {
    const unsigned char value = static_cast<unsigned char>(text[i]);
    unsigned char hi = static_cast<unsigned char>(kHex[value >> 4]);
    unsigned char lo = static_cast<unsigned char>(kHex[value & 0xF]);
    if (swap_nibbles) {
      hi = SwapNibbles(hi);
      lo = SwapNibbles(lo);
    }
    out[i * 4 + 0] = kHex[hi >> 4];
    out[i * 4 + 1] = kHex[hi & 0xF];
    out[i * 4 + 2] = kHex[lo >> 4];
    out[i * 4 + 3] = kHex[lo & 0xF];
  }
  out[length * 4] = '\0';
  return true;
}

bool HexDecodeText(const char* encoded, char* out, size_t* size, bool swap_nibbles) {
  const size_t length = strlen(encoded);
  if (length % 4 != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const size_t needed = length / 4 + 1;
  if (out == nullptr || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  for (size_t i = 0; i < length; i += 4) {
    int d[4];
    for (int k = 0; k < 4; ++k) {
      d[k] = HexDigitValue(encoded[i + k]);
      if (d[k] < 0) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
      }
    }
    const int first = swap_nibbles ? d[1] * 16 + d[0] : d[0] * 16 + d[1];
    const int second = swap_nibbles ? d[3] * 16 + d[2] : d[2] * 16 + d[3];
    const int hi = HexDigitValue(static_cast<char>(first));
    const int lo = HexDigitValue(static_cast<char>(second));
    if (hi < 0 || lo < 0) {
      SetLastError(ERROR_INVALID_DATA);
      return false;
    }
    out[i / 4] = static_cast<char>(hi * 16 + lo);
  }
  out[length / 4] = '\0';
  return true;
}

void ParseCommandLine(const std::string& line, std::vector<CommandToken>& tokens) {
  const std::wstring w = ToWide(line);
  size_t i = 0;
  const size_t n = w.size();
  auto push = [&tokens](bool is_option, const std::wstring& text) {
    CommandToken t;
    t.is_option = is_option;
    t.text = ToMultiByte(text);
    tokens.push_back(t);
  };
  while (i < n) {
    const wchar_t c = w[i];
    if (c == L' ' || c == L'\t') {
      ++i;
    } else if (c == L'"') {
      const size_t close = w.find(L'"', i + 1);
      const size_t end = close == std::wstring::npos ? n : close;
      push(false, w.substr(i + 1, end - i - 1));
      i = close == std::wstring::npos ? n : close + 1;
    } else if (c == L'/' || c == L'-') {
      size_t j = i + 1;
      while (j < n && w[j] != L' ' && w[j] != L'\t' && w[j] != L'/' && w[j] != L'-') ++j;
      push(true, w.substr(i + 1, j - i - 1));
      i = j;
    } else {
      size_t j = i;
      while (j < n && w[j] != L' ' && w[j] != L'\t') ++j;
      push(false, w.substr(i, j - i));
      i = j;
    }
  }
}
