// The faces the skins and the edit item name resolve to an installed font
// with Japanese glyphs in the test prefix: the Latin names and the
// Japanese-named ones alike, the fixed-pitch face staying fixed-pitch.
#include <gtest/gtest.h>

#include <string>

#include "DC.h"
#include "FrameworkEnvironment.h"
#include "GdiObject.h"

namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new wfctest::CFrameworkEnvironment);

struct FaceCase {
  const char* face;
  bool fixed_pitch;
};

int CALLBACK Found(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

TEST(FontFaceTest, SkinFacesResolveToAJapaneseFont) {
  const FaceCase cases[] = {{"ＭＳ Ｐゴシック", false},
                            {"ＭＳ ゴシック", true},
                            {"MS PGothic", false},
                            {"MS UI Gothic", false}};
  lib::wfc::CMemDC dc;
  for (const FaceCase& c : cases) {
    SCOPED_TRACE(c.face);
    // Listed under its own name: a replacement stands for it.
    LOGFONTA query = {};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(query.lfFaceName, c.face, LF_FACESIZE);
    bool listed = false;
    EnumFontFamiliesExA(dc.Get(), &query, &Found, reinterpret_cast<LPARAM>(&listed), 0);
    EXPECT_TRUE(listed);

    LOGFONTA logfont = {};
    logfont.lfHeight = -16;
    logfont.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynA(logfont.lfFaceName, c.face, LF_FACESIZE);
    lib::wfc::CFont font;
    font.Create(logfont);
    const HGDIOBJ old = dc.SelectObject(font.Get());
    const wchar_t text[] = L"あ漢ア";
    WORD glyphs[3] = {};
    ASSERT_EQ(GetGlyphIndicesW(dc.Get(), text, 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS), 3u);
    for (WORD g : glyphs) EXPECT_NE(g, 0xFFFF);
    SIZE narrow = {}, wide = {};
    GetTextExtentPoint32A(dc.Get(), "i", 1, &narrow);
    GetTextExtentPoint32A(dc.Get(), "W", 1, &wide);
    EXPECT_EQ(narrow.cx == wide.cx, c.fixed_pitch) << narrow.cx << " / " << wide.cx;
    dc.SelectObject(old);
  }
}

}  // namespace
