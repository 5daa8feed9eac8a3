// CxString: a byte string (code page 932) whose copies share one buffer with
// an interlocked reference count, and the quote-aware field splitting of the
// comma-separated PC files.
// Buffers shared between threads are safe to copy and release; one CxString
// object is not to be used by two threads at once.
#pragma once

#include "StringUtil.h"

#include <string>

class CxString final {
 public:
  CxString();
  CxString(const CxString& other);
  CxString& operator=(const CxString& other);
  ~CxString();

  static CxString FromCString(const char* text);

  void AddRef(const CxString& other) { Assign(other); }
  void Assign(const CxString& other);
  void Release();
  void Empty();
  // Forgets the buffer without releasing it (it was handed on elsewhere).
  void Clear() { _text = nullptr; }

  int GetLength() const;
  const char* c_str() const { return _text ? _text : ""; }
  std::string ToString() const { return std::string(c_str(), GetLength()); }
  int IndexOf(const char* find, int start = 0) const;

  // Each returns false (last error 8, string unchanged) when memory runs out.
  bool GetBuffer(int n);
  bool Reserve(int n);
  bool AssignCString(const char* text);
  bool SetLength(const char* bytes, int n);
  bool MakeUpper();
  bool Replace(const char* find, const char* replacement);
  bool Format(const char* format, ...) OV_PRINTF_FORMAT(2, 3);

  char* Data() { return _text; }
  int GetRefCount() const;
  bool SharesBufferWith(const CxString& other) const { return _text == other._text; }

 private:
  struct Header {
    volatile LONG refs;  // negative: a static buffer, never counted or freed
    LONG capacity;
    LONG length;
  };
  static Header* HeaderOf(char* text) { return reinterpret_cast<Header*>(text) - 1; }
  static const Header* HeaderOf(const char* text) {
    return reinterpret_cast<const Header*>(text) - 1;
  }
  static char* Allocate(int capacity);
  static char* EmptyText();
  void Adopt(char* text);
  bool MakeUnique();

  char* _text;
};

// printf into a CxString; false when the text was cut at 2048 bytes.
bool FormatCxString(CxString& target, const char* format, ...) OV_PRINTF_FORMAT(2, 3);

int CountFields(const std::string& line, char delimiter);
bool SplitQuotedField(const std::string& line, int index, char delimiter, std::string* field);
