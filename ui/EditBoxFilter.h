// What an edit box lets through: typed characters before the control sees
// them, and the clipboard text a filtered paste types in its place. Plain
// logic, so the box's rules are tested without a control.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "OvWindows.h"

namespace ui {

struct EditFilterFlags {
  bool password = false;
  bool single_byte = false;
  // Capitals and digits only; lower-case letters become capitals.
  bool alphanumeric = false;
  bool multi_line = false;
  bool strip_controls = true;
  // The control takes UTF-16 characters; else CP932 bytes.
  bool unicode = false;
};

// Follows the characters typed into one box. A double-byte character is
// refused whole when the flags allow single bytes only.
class CEditCharFilter {
 public:
  explicit CEditCharFilter(const EditFilterFlags& flags) : _flags(flags) {}

  // The character the control gets, or nothing when it is swallowed.
  std::optional<UINT> Filter(UINT ch);

 private:
  bool SingleBytesOnly() const {
    return _flags.password || _flags.single_byte || _flags.alphanumeric;
  }

  EditFilterFlags _flags;
  bool _swallow_trail = false;
};

// Whether a paste is typed in character by character rather than handed to
// the control as it is.
bool PasteIsFiltered(const EditFilterFlags& flags);

// The clipboard's text less what the box refuses outright: characters at or
// above 256 in single-byte boxes, control characters (line feed and tab
// stay in a multi-line box) when stripping.
std::wstring FilterPastedText(const EditFilterFlags& flags, const std::wstring& text);

// The character messages a filtered paste sends: UTF-16 units in a Unicode
// box, else each character's CP932 bytes.
std::vector<UINT> PastedCharacters(const EditFilterFlags& flags, const std::wstring& text);

}  // namespace ui
