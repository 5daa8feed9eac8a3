// Conversions and string operations that the core's writers of the card and
// PC files need: binary-coded decimal years, version numbers from data-set
// names, server paths, and a few operations on CxString. Pure functions.
#pragma once

#include "xString.h"

#include <cstdint>
#include <string>

// 2009 becomes 0x2009: the value printed in decimal, read as hexadecimal.
uint16_t IntToBcd(uint16_t value);
// 0x2009 becomes 2009: printed in hexadecimal, read as decimal; a digit
// above 9 ends the number.
uint32_t BcdToInt(uint32_t value);
uint16_t BcdToInt16(uint16_t value);

// "2.000010" becomes 0x02000010: the hexadecimal number before the first
// point in the top byte, the one after it below. 0 without a point.
uint32_t VersionFromText(const std::string& text);

// A server path on forward slashes with "." parts dropped and ".." parts
// taking the part before them away (never above the start).
std::string CanonicalizeServerPath(const std::string& path);

// Byte equality (a code page 932 text has one byte form).
bool operator==(const CxString& a, const CxString& b);
bool operator!=(const CxString& a, const CxString& b);
// Appends `length` bytes; false (string unchanged) when it cannot grow.
bool AppendBytes(CxString& text, const char* bytes, int length);
// The part [start, start + length) of `text`: negative values count as 0,
// a part past the end is cut there, a start past the end gives an empty
// part, and the whole string is shared rather than copied. False when
// memory runs out.
bool TakePart(const CxString& text, int start, int length, CxString* part);
