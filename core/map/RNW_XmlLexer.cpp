// Tokens of the XML subset; see RNW_XmlLexer.h.
#include "map/RNW_XmlLexer.h"

#include <new>
#include <string>

namespace {

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool EndsName(char c) { return IsBlank(c) || IsQuote(c) || c == '<' || c == '=' || c == '>'; }

}  // namespace

bool RNW_XmlLexer::NextNonBlank(char* c) {
  while (_stream.ReadByte(c)) {
    if (!IsBlank(*c)) return true;
  }
  return false;
}

void RNW_XmlLexer::SetText(const std::string& bytes) {
  if (!_text.SetLength(bytes.data(), static_cast<int>(bytes.size()))) throw std::bad_alloc();
}

// Either quote closes a value, whichever opened it.
RNW_XmlToken RNW_XmlLexer::ReadValue() {
  std::string bytes;
  char c = 0;
  while (_stream.ReadByte(&c)) {
    if (IsQuote(c)) {
      SetText(bytes);
      return kXmlTokenValue;
    }
    if (c == '<' || c == '>') return kXmlTokenNone;
    bytes.push_back(c);
  }
  return kXmlTokenNone;
}

RNW_XmlToken RNW_XmlLexer::ReadName(char first) {
  std::string bytes(1, first);
  char c = 0;
  while (_stream.ReadByte(&c)) {
    if (EndsName(c)) {
      _stream.Unread();
      break;
    }
    bytes.push_back(c);
  }
  SetText(bytes);
  return kXmlTokenName;
}

RNW_XmlToken RNW_XmlLexer::NextToken() {
  char c = 0;
  if (!NextNonBlank(&c)) return _stream.IsEnd() ? kXmlTokenEnd : kXmlTokenNone;
  switch (c) {
    case '"':
    case '\'':
      return ReadValue();
    case '/':
      return NextNonBlank(&c) && c == '>' ? kXmlTokenEmptyClose : kXmlTokenNone;
    case '<':
      if (!NextNonBlank(&c)) return kXmlTokenOpen;
      if (c == '/') return kXmlTokenEndTag;
      if (c == '?') return kXmlTokenDeclaration;
      _stream.Unread();
      return kXmlTokenOpen;
    case '=':
      return kXmlTokenEquals;
    case '>':
      return kXmlTokenClose;
    default:
      return ReadName(c);
  }
}

bool RNW_XmlLexer::SkipPastClose() {
  char c = 0;
  while (_stream.ReadByte(&c)) {
    if (c == '>') return true;
  }
  return false;
}
