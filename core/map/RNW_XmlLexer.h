// The tokenizer of the XML subset that configuration images carry: tags,
// quoted values, "=", and names or single words. Bytes are taken as they are
// (no character decoding, no entities). One lexer reads one stream on one
// thread.
#pragma once

#include "map/RNW_Stream.h"
#include "xString.h"

enum RNW_XmlToken {
  kXmlTokenNone = 0,         // a lexical error
  kXmlTokenEnd = 1,          // the stream has no more tokens
  kXmlTokenOpen = 2,         // "<"
  kXmlTokenClose = 3,        // ">"
  kXmlTokenValue = 4,        // a quoted value, quotes dropped
  kXmlTokenEquals = 5,       // "="
  kXmlTokenName = 6,         // a name or a word
  kXmlTokenEmptyClose = 7,   // "/>"
  kXmlTokenEndTag = 8,       // "</"
  kXmlTokenDeclaration = 9,  // "<?"
};

class RNW_XmlLexer final {
 public:
  explicit RNW_XmlLexer(RNW_Stream& stream) : _stream(stream) {}
  ~RNW_XmlLexer() = default;
  RNW_XmlLexer(const RNW_XmlLexer&) = delete;
  RNW_XmlLexer& operator=(const RNW_XmlLexer&) = delete;

  RNW_XmlToken NextToken();
  // The text of the last name or value token.
  const CxString& GetText() const { return _text; }
  // Skips everything up to and including the next ">"; false at the end.
  bool SkipPastClose();

 private:
  // The next byte that is not whitespace; false at the end.
  bool NextNonBlank(char* c);
  RNW_XmlToken ReadValue();
  RNW_XmlToken ReadName(char first);
  void SetText(const std::string& bytes);

  RNW_Stream& _stream;  // not owned
  CxString _text;
};
