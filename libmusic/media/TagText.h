// Text of music tags turned into UTF-16, and the numbered genre list of the
// MP3 tag formats. Free functions without state; safe on any thread.
#pragma once

#include "OvWindows.h"

#include <cstddef>
#include <string>

namespace libmusic {
namespace media {

// Every decoder stops at the first zero character.

// Single-byte tag text: the ANSI code page (code page 932 on the systems we
// serve, where tag writers put Shift-JIS into such fields) when the bytes
// are valid in it, otherwise ISO-8859-1, which every byte is.
std::wstring DecodeAnsiText(const BYTE* text, size_t n);
// UTF-16 with an optional byte-order mark; without one, the given order.
std::wstring DecodeUtf16Text(const BYTE* text, size_t n, bool big_endian);
std::wstring DecodeUtf8Text(const BYTE* text, size_t n);

// Without trailing blanks and zeros (fixed-width fields pad with either).
std::wstring TrimTrailingBlanks(const std::wstring& text);

// ASCII letters compared without case; other code units exactly.
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);

// Name of a genre of the numbered list (0 "Blues" .. 147 "SynthPop"); null outside it.
const wchar_t* GenreName(int index);

}  // namespace media
}  // namespace libmusic
