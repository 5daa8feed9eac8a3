// The skin text's grammar: lines, tokens and the one state machine over the
// token stream of a file. Pure functions without shared state.
#pragma once

#include <string>
#include <vector>

#include "SkinDefinition.h"

namespace ui {

struct SkinToken {
  std::wstring text;
  bool quoted = false;
  int line = 0;  // physical, 1-based; the header is line 1
};

// The text's lines as UTF-16: split at CR LF (an empty piece after the last
// CR LF is dropped); code page 932 text is converted line by line.
std::vector<std::wstring> SplitSkinLines(const std::string& bytes, bool utf16);

// One line's tokens, after everything from the first "//" is cut away.
void TokenizeSkinLine(const std::wstring& line, int line_number, std::vector<SkinToken>* tokens);

struct SkinParseOutput {
  std::vector<std::string> includes;   // in order of appearance
  std::vector<std::string> languages;  // in order of appearance
};

// Parses every line after the header into `definition`. Returns an empty
// text on success, else the file name, " line N:" and the message.
std::string ParseSkinLines(const std::string& file_name, const std::vector<std::wstring>& lines,
                           SkinDefinition* definition, SkinParseOutput* output);

// Like the C library's atoi, but a number beyond the int range is clamped.
int SkinAtoi(const std::string& text);

}  // namespace ui
