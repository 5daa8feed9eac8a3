#include "EditBoxFilter.h"

namespace ui {

namespace {

constexpr UINT kBackspace = 8;
constexpr UINT kTab = 9;
constexpr UINT kLineFeed = 10;
constexpr UINT kReturn = 13;
constexpr UINT kEscape = 27;
constexpr UINT kCtrlV = 22;
constexpr UINT kCodePage = 932;

bool IsDoubleByteWide(UINT ch) {
  if (ch < 0x80) return false;
  const wchar_t wide = static_cast<wchar_t>(ch);
  char bytes[4] = {};
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof(bytes),
                                    nullptr, &used_default);
  // Characters the code page cannot hold are no single byte either.
  return n != 1 || used_default;
}

}  // namespace

std::optional<UINT> CEditCharFilter::Filter(UINT ch) {
  if (_swallow_trail) {
    _swallow_trail = false;
    return std::nullopt;
  }
  if (SingleBytesOnly()) {
    if (_flags.unicode) {
      if (IsDoubleByteWide(ch)) return std::nullopt;
    } else if (ch < 0x100 && IsDBCSLeadByteEx(kCodePage, static_cast<BYTE>(ch))) {
      _swallow_trail = true;
      return std::nullopt;
    }
  }
  if (_flags.alphanumeric) {
    if (ch >= 'a' && ch <= 'z') return ch - 'a' + 'A';
    const bool passes =
        (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || ch == kBackspace || ch == kCtrlV;
    if (!passes) return std::nullopt;
    return ch;
  }
  if (ch == kEscape) return std::nullopt;
  if ((ch == kTab || ch == kReturn) && !_flags.multi_line) return std::nullopt;
  return ch;
}

bool PasteIsFiltered(const EditFilterFlags& flags) {
  return flags.single_byte || flags.alphanumeric || flags.strip_controls;
}

std::wstring FilterPastedText(const EditFilterFlags& flags, const std::wstring& text) {
  const bool narrow = flags.single_byte || flags.alphanumeric || flags.password;
  std::wstring kept;
  kept.reserve(text.size());
  for (const wchar_t ch : text) {
    if (narrow && ch >= 256) continue;
    if (flags.strip_controls && (ch < 0x20 || ch == 0x7F)) {
      const bool keeps = flags.multi_line && (ch == kLineFeed || ch == kTab);
      if (!keeps) continue;
    }
    kept.push_back(ch);
  }
  return kept;
}

std::vector<UINT> PastedCharacters(const EditFilterFlags& flags, const std::wstring& text) {
  std::vector<UINT> chars;
  for (size_t i = 0; i < text.size(); ++i) {
    if (flags.unicode) {
      chars.push_back(static_cast<UINT>(text[i]));
      continue;
    }
    // A surrogate pair converts as one character.
    const bool pair =
        i + 1 < text.size() && IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1]);
    const int units = pair ? 2 : 1;
    char bytes[8] = {};
    const int n =
        WideCharToMultiByte(kCodePage, 0, &text[i], units, bytes, sizeof(bytes), nullptr, nullptr);
    for (int b = 0; b < n; ++b) chars.push_back(static_cast<BYTE>(bytes[b]));
    i += units - 1;
  }
  return chars;
}

}  // namespace ui
