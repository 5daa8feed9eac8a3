// Tag text decoding and the genre list; see TagText.h.
#include "media/TagText.h"

#include <iterator>

namespace libmusic {
namespace media {

namespace {

size_t ByteLengthToZero(const BYTE* text, size_t n) {
  size_t len = 0;
  while (len < n && text[len] != 0) ++len;
  return len;
}

std::wstring DecodeStrict(UINT code_page, const BYTE* text, size_t n) {
  if (n == 0) return std::wstring();
  const char* s = reinterpret_cast<const char*>(text);
  const int count =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, s, static_cast<int>(n), nullptr, 0);
  if (count <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, s, static_cast<int>(n), &out[0], count);
  return out;
}

// The numbered genres; the first 80 are the original list, the rest the
// extensions every tagger knows.
const wchar_t* const kGenres[] = {
    L"Blues",
    L"Classic Rock",
    L"Country",
    L"Dance",
    L"Disco",
    L"Funk",
    L"Grunge",
    L"Hip-Hop",
    L"Jazz",
    L"Metal",
    L"New Age",
    L"Oldies",
    L"Other",
    L"Pop",
    L"R&B",
    L"Rap",
    L"Reggae",
    L"Rock",
    L"Techno",
    L"Industrial",
    L"Alternative",
    L"Ska",
    L"Death Metal",
    L"Pranks",
    L"Soundtrack",
    L"Euro-Techno",
    L"Ambient",
    L"Trip-Hop",
    L"Vocal",
    L"Jazz+Funk",
    L"Fusion",
    L"Trance",
    L"Classical",
    L"Instrumental",
    L"Acid",
    L"House",
    L"Game",
    L"Sound Clip",
    L"Gospel",
    L"Noise",
    L"Alternative Rock",
    L"Bass",
    L"Soul",
    L"Punk",
    L"Space",
    L"Meditative",
    L"Instrumental Pop",
    L"Instrumental Rock",
    L"Ethnic",
    L"Gothic",
    L"Darkwave",
    L"Techno-Industrial",
    L"Electronic",
    L"Pop-Folk",
    L"Eurodance",
    L"Dream",
    L"Southern Rock",
    L"Comedy",
    L"Cult",
    L"Gangsta",
    L"Top 40",
    L"Christian Rap",
    L"Pop/Funk",
    L"Jungle",
    L"Native US",
    L"Cabaret",
    L"New Wave",
    L"Psychedelic",
    L"Rave",
    L"Showtunes",
    L"Trailer",
    L"Lo-Fi",
    L"Tribal",
    L"Acid Punk",
    L"Acid Jazz",
    L"Polka",
    L"Retro",
    L"Musical",
    L"Rock & Roll",
    L"Hard Rock",
    // 80
    L"Folk",
    L"Folk-Rock",
    L"National Folk",
    L"Swing",
    L"Fast Fusion",
    L"Bebob",
    L"Latin",
    L"Revival",
    L"Celtic",
    L"Bluegrass",
    L"Avantgarde",
    L"Gothic Rock",
    L"Progressive Rock",
    L"Psychedelic Rock",
    L"Symphonic Rock",
    L"Slow Rock",
    L"Big Band",
    L"Chorus",
    L"Easy Listening",
    L"Acoustic",
    L"Humour",
    L"Speech",
    L"Chanson",
    L"Opera",
    L"Chamber Music",
    L"Sonata",
    L"Symphony",
    L"Booty Bass",
    L"Primus",
    L"Porn Groove",
    L"Satire",
    L"Slow Jam",
    L"Club",
    L"Tango",
    L"Samba",
    L"Folklore",
    L"Ballad",
    L"Power Ballad",
    L"Rhythmic Soul",
    L"Freestyle",
    L"Duet",
    L"Punk Rock",
    L"Drum Solo",
    L"A Cappella",
    L"Euro-House",
    L"Dance Hall",
    L"Goa",
    L"Drum & Bass",
    L"Club-House",
    L"Hardcore",
    L"Terror",
    L"Indie",
    L"BritPop",
    L"Negerpunk",
    L"Polsk Punk",
    L"Beat",
    L"Christian Gangsta",
    L"Heavy Metal",
    L"Black Metal",
    L"Crossover",
    L"Contemporary Christian",
    L"Christian Rock",
    L"Merengue",
    L"Salsa",
    L"Thrash Metal",
    L"Anime",
    L"JPop",
    L"SynthPop",
};

}  // namespace

std::wstring DecodeAnsiText(const BYTE* text, size_t n) {
  n = ByteLengthToZero(text, n);
  std::wstring out = DecodeStrict(CP_ACP, text, n);
  if (!out.empty() || n == 0) return out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) out += static_cast<wchar_t>(text[i]);
  return out;
}

std::wstring DecodeUtf16Text(const BYTE* text, size_t n, bool big_endian) {
  if (n >= 2 && text[0] == 0xFF && text[1] == 0xFE) {
    big_endian = false;
    text += 2;
    n -= 2;
  } else if (n >= 2 && text[0] == 0xFE && text[1] == 0xFF) {
    big_endian = true;
    text += 2;
    n -= 2;
  }
  std::wstring out;
  out.reserve(n / 2);
  for (size_t i = 0; i + 1 < n; i += 2) {
    const wchar_t c = big_endian ? static_cast<wchar_t>((text[i] << 8) | text[i + 1])
                                 : static_cast<wchar_t>(text[i] | (text[i + 1] << 8));
    if (c == 0) break;
    out += c;
  }
  return out;
}

std::wstring DecodeUtf8Text(const BYTE* text, size_t n) {
  n = ByteLengthToZero(text, n);
  if (n >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF) {
    text += 3;
    n -= 3;
  }
  std::wstring out = DecodeStrict(CP_UTF8, text, n);
  if (!out.empty() || n == 0) return out;
  // Broken UTF-8: keep what is readable rather than lose the whole field.
  const char* s = reinterpret_cast<const char*>(text);
  const int count = MultiByteToWideChar(CP_UTF8, 0, s, static_cast<int>(n), nullptr, 0);
  if (count <= 0) return out;
  out.assign(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, static_cast<int>(n), &out[0], count);
  return out;
}

std::wstring TrimTrailingBlanks(const std::wstring& text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == L' ' || text[end - 1] == L'\0')) --end;
  return text.substr(0, end);
}

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i];
    wchar_t y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return true;
}

const wchar_t* GenreName(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kGenres))) return nullptr;
  return kGenres[index];
}

}  // namespace media
}  // namespace libmusic
