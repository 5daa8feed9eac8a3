// CxString and the quote-aware fields; see xString.h.
#include "xString.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct StaticEmpty {
  LONG refs = -1;
  LONG capacity = 0;
  LONG length = 0;
  char text[4] = {0, 0, 0, 0};
};
StaticEmpty g_empty;

const char* FindCp932(const char* text, int length, int start, const char* find) {
  const size_t find_len = strlen(find);
  int i = 0;
  while (i < length) {
    if (i >= start && static_cast<size_t>(length - i) >= find_len &&
        memcmp(text + i, find, find_len) == 0) {
      return text + i;
    }
    i += IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return nullptr;
}

}  // namespace

char* CxString::EmptyText() { return g_empty.text; }

char* CxString::Allocate(int capacity) {
  void* block = malloc(sizeof(Header) + static_cast<size_t>(capacity) + 1);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Header* h = static_cast<Header*>(block);
  h->refs = 1;
  h->capacity = capacity;
  h->length = 0;
  char* text = reinterpret_cast<char*>(h + 1);
  text[0] = '\0';
  text[capacity] = '\0';
  return text;
}

CxString::CxString() : _text(EmptyText()) {}

CxString::CxString(const CxString& other) : _text(EmptyText()) { Assign(other); }

CxString& CxString::operator=(const CxString& other) {
  Assign(other);
  return *this;
}

CxString::~CxString() { Release(); }

CxString CxString::FromCString(const char* text) {
  CxString s;
  s.AssignCString(text);
  return s;
}

void CxString::Assign(const CxString& other) {
  if (_text == other._text) return;
  char* text = other._text ? other._text : EmptyText();
  if (HeaderOf(text)->refs >= 0) InterlockedIncrement(&HeaderOf(text)->refs);
  Release();
  _text = text;
}

void CxString::Release() {
  if (_text && HeaderOf(_text)->refs >= 0) {
    if (InterlockedDecrement(&HeaderOf(_text)->refs) == 0) free(HeaderOf(_text));
  }
  _text = nullptr;
}

void CxString::Empty() {
  Release();
  _text = EmptyText();
}

void CxString::Adopt(char* text) {
  Release();
  _text = text;
}

int CxString::GetLength() const { return _text ? HeaderOf(_text)->length : 0; }

int CxString::GetRefCount() const { return _text ? HeaderOf(_text)->refs : 0; }

int CxString::IndexOf(const char* find, int start) const {
  if (!_text || !find) return -1;
  const char* hit = FindCp932(_text, GetLength(), start, find);
  return hit ? static_cast<int>(hit - _text) : -1;
}

bool CxString::GetBuffer(int n) {
  if (n <= 0) {
    Empty();
    return true;
  }
  char* text = Allocate(n);
  if (!text) return false;
  HeaderOf(text)->length = n;
  Adopt(text);
  return true;
}

bool CxString::Reserve(int n) {
  if (n <= 0) {
    Empty();
    return true;
  }
  char* text = Allocate(n);
  if (!text) return false;
  const int keep = GetLength() < n ? GetLength() : n;
  if (keep > 0) memcpy(text, _text, keep);
  text[keep] = '\0';
  HeaderOf(text)->length = keep;
  Adopt(text);
  return true;
}

bool CxString::AssignCString(const char* text) {
  return SetLength(text ? text : "", text ? static_cast<int>(strlen(text)) : 0);
}

bool CxString::SetLength(const char* bytes, int n) {
  // Never keep half of a two-byte character.
  const int safe = static_cast<int>(Cp932SafeLength(bytes, n > 0 ? n : 0));
  if (safe == 0) {
    Empty();
    return true;
  }
  char* text = Allocate(safe);
  if (!text) return false;
  memcpy(text, bytes, safe);
  text[safe] = '\0';
  HeaderOf(text)->length = safe;
  Adopt(text);
  return true;
}

bool CxString::MakeUnique() {
  if (!_text || HeaderOf(_text)->refs == 1) return true;
  const int length = GetLength();
  if (length == 0) return true;
  char* text = Allocate(HeaderOf(_text)->capacity);
  if (!text) return false;
  memcpy(text, _text, length + 1);
  HeaderOf(text)->length = length;
  Adopt(text);
  return true;
}

bool CxString::MakeUpper() {
  if (!MakeUnique()) return false;
  const int length = GetLength();
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(_text[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      _text[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return true;
}

bool CxString::Replace(const char* find, const char* replacement) {
  const int find_len = find ? static_cast<int>(strlen(find)) : 0;
  if (find_len == 0) return true;
  const int repl_len = static_cast<int>(strlen(replacement));
  CxString keep(*this);
  const int length = keep.GetLength();
  int count = 0;
  for (int pos = keep.IndexOf(find, 0); pos >= 0; pos = keep.IndexOf(find, pos + find_len)) {
    ++count;
  }
  if (count == 0) return true;
  const int new_len = length + count * (repl_len - find_len);
  if (new_len <= 0) {
    Empty();
    return true;
  }
  char* text = Allocate(new_len);
  if (!text) return false;
  const char* src = keep.c_str();
  char* dst = text;
  int from = 0;
  for (int pos = keep.IndexOf(find, 0); pos >= 0; pos = keep.IndexOf(find, pos + find_len)) {
    memcpy(dst, src + from, pos - from);
    dst += pos - from;
    memcpy(dst, replacement, repl_len);
    dst += repl_len;
    from = pos + find_len;
  }
  memcpy(dst, src + from, length - from);
  text[new_len] = '\0';
  HeaderOf(text)->length = new_len;
  Adopt(text);
  return true;
}

namespace {

// printf into the string with 2048 bytes of room; false when the text was cut.
bool FormatInto(CxString& target, const char* format, va_list args) {
  constexpr int kRoom = 2048;
  char buffer[kRoom + 1];
  const int n = vsnprintf(buffer, sizeof(buffer), format, args);
  if (n < 0) return false;
  const int kept = n > kRoom ? kRoom : n;
  if (!target.SetLength(buffer, kept)) return false;
  return n <= kRoom;
}

}  // namespace

bool FormatCxString(CxString& target, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatInto(target, format, args);
  va_end(args);
  return ok;
}

bool CxString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatInto(*this, format, args);
  va_end(args);
  return ok;
}

namespace {

// Walks the fields of a line; calls visit(index, begin, end) for each.
template <typename Visit>
int WalkFields(const std::string& line, char delimiter, Visit visit) {
  int index = 0;
  size_t start = 0;
  bool quoted = false;
  bool quote_seen = false;
  const size_t n = line.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = line[i];
    if (IsCp932LeadByte(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (quoted) {
      if (c == '"') {
        if (i + 1 < n && line[i + 1] == '"') {
          ++i;
        } else {
          quoted = false;
        }
      }
    } else if (c == '"' && !quote_seen) {
      quoted = true;
      quote_seen = true;
    } else if (c == delimiter) {
      if (!visit(index, start, i)) return index;
      ++index;
      start = i + 1;
      quote_seen = false;
    }
  }
  visit(index, start, n);
  return index + 1;
}

}  // namespace

int CountFields(const std::string& line, char delimiter) {
  return WalkFields(line, delimiter, [](int, size_t, size_t) { return true; });
}

bool SplitQuotedField(const std::string& line, int index, char delimiter, std::string* field) {
  bool found = false;
  size_t begin = 0, end = 0;
  WalkFields(line, delimiter, [&](int i, size_t b, size_t e) {
    if (i != index) return true;
    found = true;
    begin = b;
    end = e;
    return false;
  });
  if (!found) return false;
  std::string out;
  bool quoting = false;
  for (size_t i = begin; i < end; ++i) {
    const char c = line[i];
    if (IsCp932LeadByte(static_cast<unsigned char>(c)) && i + 1 < end) {
      out += c;
      out += line[++i];
      continue;
    }
    if (i == begin && c == '"') {
      quoting = true;
    } else if (quoting && c == '"') {
      if (i + 1 < end && line[i + 1] == '"') {
        out += '"';
        ++i;
      } else {
        quoting = false;
      }
    } else {
      out += c;
    }
  }
  *field = out;
  return true;
}
