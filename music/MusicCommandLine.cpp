// The music manager's command line; see MusicCommandLine.h.
#include "MusicCommandLine.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

HWND WindowFromNumber(unsigned long long number) {
  // A window number travels as 32 bits; widen it the way handles are widened.
  return reinterpret_cast<HWND>(
      static_cast<LONG_PTR>(static_cast<LONG>(static_cast<uint32_t>(number))));
}

}  // namespace

void MusicCommandLine(const char* command_line, std::vector<CommandToken>& tokens) {
  if (!command_line) return;
  // Widened so that a trail byte of a double-byte character is never taken
  // for a quote, a slash or a blank.
  const std::wstring line = ToWide(command_line);
  size_t i = 0;
  while (i < line.size()) {
    const wchar_t c = line[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    CommandToken token;
    size_t end = i;
    if (c == L'"') {
      const size_t close = line.find(L'"', i + 1);
      end = close == std::wstring::npos ? line.size() : close;
      token.text = ToMultiByte(line.substr(i + 1, end - i - 1));
      i = close == std::wstring::npos ? end : close + 1;
    } else if (c == L'/' || c == L'-') {
      end = i + 1;
      while (end < line.size() && !IsBlank(line[end]) && line[end] != L'/' && line[end] != L'-') {
        ++end;
      }
      token.is_option = true;
      token.text = ToMultiByte(line.substr(i + 1, end - i - 1));
      i = end;
    } else {
      while (end < line.size() && !IsBlank(line[end])) ++end;
      token.text = ToMultiByte(line.substr(i, end - i));
      i = end;
    }
    tokens.push_back(token);
  }
}

MusicOptions ParseMusicOptions(const std::vector<CommandToken>& tokens) {
  MusicOptions options;
  char current = 0;
  for (const CommandToken& token : tokens) {
    if (token.is_option) {
      const std::string name = ToLower(token.text);
      if (name == "d" || name == "m" || name == "w") current = name[0];
      continue;
    }
    if (current == 'd') {
      const char letter = token.text.empty() ? 0 : ToUpper(token.text.substr(0, 1))[0];
      options.drive = (letter >= 'A' && letter <= 'Z') ? letter : 0;
    } else if (current == 'm') {
      const std::string word = ToLower(token.text);
      options.mode = word == "manual"    ? kMusicModeManual
                     : word == "setting" ? kMusicModeSetting
                                         : kMusicModeNone;
    } else if (current == 'w') {
      errno = 0;
      const unsigned long long number = strtoull(token.text.c_str(), nullptr, 16);
      // A number that does not fit 32 bits names no window.
      options.notify =
          (errno == ERANGE || number > 0xFFFFFFFFull) ? nullptr : WindowFromNumber(number);
    }
  }
  return options;
}
