#include "SkinParser.h"

#include <climits>

#include "StringUtil.h"

namespace ui {

namespace {

bool IsDelimiterChar(wchar_t c) {
  switch (c) {
    case L' ':
    case L'\t':
    case L'{':
    case L'}':
    case L',':
    case L';':
    case L'=':
    case L'\\':
      return true;
    default:
      return false;
  }
}

// The parser looks at a token's text only: a quoted "," or " " is a
// delimiter as much as a bare one.
bool IsDelimiter(const SkinToken& token) {
  return token.text.size() == 1 && IsDelimiterChar(token.text[0]);
}

bool Is(const SkinToken& token, wchar_t c) { return token.text.size() == 1 && token.text[0] == c; }

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
  return ToLowerW(a) == ToLowerW(std::wstring(b));
}

enum class State {
  kTop,
  kAfterInclude,
  kAfterLanguage,
  kBeforeBrace,
  kInSection,
  kBeforeEquals,
  kValue,
  kAfterValue,
  kContinuation,
};

class CParser final {
 public:
  CParser(SkinDefinition* definition, SkinParseOutput* output)
      : _definition(definition), _output(output) {}

  // The error message, or null when the token was taken.
  const char* Take(const SkinToken& token) {
    switch (_state) {
      case State::kTop:
        return Top(token);
      case State::kAfterInclude:
      case State::kAfterLanguage:
        return Directive(token);
      case State::kBeforeBrace:
        if (!Is(token, L'{')) return "{が見つかりません。";
        _state = State::kInSection;
        return nullptr;
      case State::kInSection:
        return InSection(token);
      case State::kBeforeEquals:
        if (!Is(token, L'=')) return "=が見つかりません。";
        _state = State::kValue;
        return nullptr;
      case State::kValue:
        return Value(token);
      case State::kAfterValue:
        return AfterValue(token);
      case State::kContinuation:
        if (!token.quoted) return "\\の次は文字列で無ければなりません。";
        _values->back() += ToMultiByte(token.text);
        _state = State::kAfterValue;
        return nullptr;
    }
    return nullptr;
  }

  // Whether the last message follows the token's text.
  bool WithToken() const { return _with_token; }

 private:
  const char* Top(const SkinToken& token) {
    if (IsDelimiter(token)) return "アイテム名が存在しません。";
    if (!token.text.empty() && token.text[0] == L'#') {
      if (EqualsNoCase(token.text, L"#include")) {
        _state = State::kAfterInclude;
        return nullptr;
      }
      if (EqualsNoCase(token.text, L"#language")) {
        _state = State::kAfterLanguage;
        return nullptr;
      }
      _with_token = true;
      return "は異常なプリプロセッサ命令です。";
    }
    const std::string name = ToMultiByte(token.text);
    SkinSection& section = _definition->Section(name);
    _section = &section;
    _state = State::kBeforeBrace;
    return nullptr;
  }

  const char* Directive(const SkinToken& token) {
    const bool include = _state == State::kAfterInclude;
    if (IsDelimiter(token)) {
      return include ? "#includeの構文が不正です。" : "#languageの構文が不正です。";
    }
    (include ? _output->includes : _output->languages).push_back(ToMultiByte(token.text));
    _state = State::kTop;
    return nullptr;
  }

  const char* InSection(const SkinToken& token) {
    if (Is(token, L'}')) {
      _state = State::kTop;
      return nullptr;
    }
    if (IsDelimiter(token)) return "}が見つかりません。";
    _values = &_section->Values(ToMultiByte(token.text));
    _state = State::kBeforeEquals;
    return nullptr;
  }

  const char* Value(const SkinToken& token) {
    if (Is(token, L',')) {
      _values->emplace_back();
      return nullptr;
    }
    if (Is(token, L';')) {
      _values->emplace_back();
      _state = State::kInSection;
      return nullptr;
    }
    if (IsDelimiter(token)) return ";が見つかりません。";
    _values->push_back(ToMultiByte(token.text));
    _state = State::kAfterValue;
    return nullptr;
  }

  const char* AfterValue(const SkinToken& token) {
    if (Is(token, L',')) {
      _state = State::kValue;
    } else if (Is(token, L';')) {
      _state = State::kInSection;
    } else if (Is(token, L'\\')) {
      _state = State::kContinuation;
    } else if (IsDelimiter(token)) {
      return ",または;が必要です。";
    } else {
      return "区切り文字が見つかりません。";
    }
    return nullptr;
  }

  SkinDefinition* _definition;
  SkinParseOutput* _output;
  State _state = State::kTop;
  SkinSection* _section = nullptr;  // the section being read; owned by _definition
  SkinValues* _values = nullptr;    // the entry being read; owned by _section
  bool _with_token = false;
};

}  // namespace

std::vector<std::wstring> SplitSkinLines(const std::string& bytes, bool utf16) {
  std::vector<std::wstring> lines;
  if (utf16) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    size_t start = 0;
    for (;;) {
      const size_t end = text.find(L"\r\n", start);
      if (end == std::wstring::npos) break;
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
  }
  // A trail byte of code page 932 is never CR or LF, so the bytes can be
  // split before they are converted.
  size_t start = 0;
  for (;;) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(ToWide(bytes.substr(start, end - start)));
    start = end + 2;
  }
  if (start < bytes.size()) lines.push_back(ToWide(bytes.substr(start)));
  return lines;
}

void TokenizeSkinLine(const std::wstring& full_line, int line_number,
                      std::vector<SkinToken>* tokens) {
  const std::wstring line = full_line.substr(0, full_line.find(L"//"));
  SkinToken current;
  current.line = line_number;
  bool in_quotes = false;
  auto emit = [&]() {
    if (!current.text.empty()) tokens->push_back(current);
    current.text.clear();
    current.quoted = false;
  };
  for (const wchar_t c : line) {
    if (in_quotes) {
      if (c == L'"') {
        in_quotes = false;
        emit();
      } else {
        current.text += c;
      }
    } else if (c == L'"') {
      in_quotes = true;
      current.quoted = true;
    } else if (IsDelimiterChar(c)) {
      emit();
      if (c != L' ' && c != L'\t') {
        current.text = c;
        emit();
      }
    } else {
      current.text += c;
    }
  }
  emit();
}

std::string ParseSkinLines(const std::string& file_name, const std::vector<std::wstring>& lines,
                           SkinDefinition* definition, SkinParseOutput* output) {
  CParser parser(definition, output);
  std::vector<SkinToken> tokens;
  for (size_t i = 1; i < lines.size(); ++i) {
    tokens.clear();
    TokenizeSkinLine(lines[i], static_cast<int>(i + 1), &tokens);
    for (const SkinToken& token : tokens) {
      const char* message = parser.Take(token);
      if (!message) continue;
      const std::string text =
          parser.WithToken() ? ToMultiByte(token.text) + message : std::string(message);
      return FormatString("%s line %d:%s", file_name.c_str(), token.line, text.c_str());
    }
  }
  return std::string();
}

int SkinAtoi(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    // Clamped as soon as it leaves the range, so the sum cannot overflow.
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace ui
