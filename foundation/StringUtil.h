// Small helpers on narrow (code page 932) and wide (UTF-16) strings used by
// every module: formatting, replacing, trimming, splitting, case, code-page
// conversion, percent and hexadecimal encodings, command-line tokens.
// All functions are free of shared state and safe on any thread.
#pragma once

#include "OvWindows.h"

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

#define OV_PRINTF_FORMAT(fmt_index, first_arg) \
  __attribute__((format(gnu_printf, fmt_index, first_arg)))

// True for a byte that starts a two-byte character of code page 932.
inline bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length of the longest prefix of s[0, n) that does not end inside a
// two-byte character.
size_t Cp932SafeLength(const char* s, size_t n);

std::string FormatString(const char* format, ...) OV_PRINTF_FORMAT(1, 2);
std::string FormatStringV(const char* format, va_list args) OV_PRINTF_FORMAT(1, 0);

void ReplaceAll(std::string& text, const std::string& find, const std::string& replacement);
std::string RemoveChar(const std::string& text, char c);
std::string TrimChar(const std::string& text, char c);
std::string TrimString(const std::string& text);

std::string ToMultiByte(const std::wstring& text);
std::wstring ToWide(const std::string& text);
std::string ToUpper(const std::string& text);
std::string ToLower(const std::string& text);
std::wstring ToUpperW(const std::wstring& text);
std::wstring ToLowerW(const std::wstring& text);

// Parts between separators; a trailing separator gives no empty last part.
// With max_parts > 0 the last part holds the rest, separators included.
std::vector<std::string> SplitString(const std::string& text, const std::string& separator,
                                     size_t max_parts = 0);
std::vector<std::wstring> SplitStringW(const std::wstring& text, const std::wstring& separator,
                                       size_t max_parts = 0);

// Converts through UTF-16. False (out untouched) when either step fails.
bool ConvertCodePage(const std::string& text, UINT from_code_page, UINT to_code_page,
                     std::string* out);

// Form/URL value encoding: the UTF-8 bytes of the text, every byte but
// A-Z, a-z and 0-9 written as %XX. Empty for an empty or unconvertible text.
std::string PercentEncode(const std::string& text);

// The user list's line encoding: four hexadecimal digits per byte. On a
// short buffer *size receives the size needed and the last error is 122.
bool HexEncodeText(const char* text, char* out, size_t* size, bool swap_nibbles);
bool HexDecodeText(const char* encoded, char* out, size_t* size, bool swap_nibbles);

struct CommandToken {
  bool is_option = false;
  std::string text;
};
void ParseCommandLine(const std::string& line, std::vector<CommandToken>& tokens);
