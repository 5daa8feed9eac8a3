// The skin lint: every skin text carried by a program (the shipped skins'
// modules and this test's own skin) loads from the real resources without a
// box, every item section passes its kind's schema, and every picture
// rectangle lies inside its PNG. New window files join by themselves.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "EndSessionWaitingWindow.h"
#include "MessageBoxCapture.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinParser.h"
#include "SkinSource.h"
#include "SkinValues.h"
#include "StringUtil.h"
#include "Threads.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

const char kSkinType[] = "SKIN";

struct SkinModule {
  std::string label;
  HMODULE module;
};

std::vector<SkinModule> Modules() {
  std::vector<SkinModule> modules = {{"test", GetModuleHandleA(nullptr)}};
  const std::string folder = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr));
  for (const char* program : {"main", "music", "sample"}) {
    const HMODULE m = LoadLibraryA((folder + "skin_" + program + ".dll").c_str());
    EXPECT_NE(m, nullptr) << program;
    if (m) modules.push_back({program, m});
  }
  return modules;
}

BOOL CALLBACK AddName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::string>*>(names)->push_back(name);
  return TRUE;
}

std::vector<std::string> ResourceNames(HMODULE module) {
  std::vector<std::string> names;
  EnumResourceNamesA(module, kSkinType, &AddName, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && ToUpper(text.substr(text.size() - tail.size())) == tail;
}

// Width and height from the PNG's header chunk.
bool PngSize(HMODULE module, const std::string& name, int* width, int* height) {
  std::string bytes;
  if (!ui::ReadSkinResource(module, name.c_str(), kSkinType, &bytes) || bytes.size() < 24 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return false;
  }
  auto be32 = [&](size_t at) {
    return static_cast<int>((static_cast<unsigned char>(bytes[at]) << 24) |
                            (static_cast<unsigned char>(bytes[at + 1]) << 16) |
                            (static_cast<unsigned char>(bytes[at + 2]) << 8) |
                            static_cast<unsigned char>(bytes[at + 3]));
  };
  *width = be32(16);
  *height = be32(20);
  // 8-bit RGB without alpha or palette: the key colour stays a colour.
  return bytes[24] == 8 && bytes[25] == 2;
}

// Each text as written, before includes, macros and classes.
std::map<std::string, ui::SkinDefinition> RawTexts(HMODULE module,
                                                   const std::vector<std::string>& texts) {
  std::map<std::string, ui::SkinDefinition> raw;
  for (const std::string& text : texts) {
    std::string bytes;
    ui::ReadSkinResource(module, text.c_str(), kSkinType, &bytes);
    ui::SkinParseOutput output;
    ui::ParseSkinLines(text, ui::SplitSkinLines(bytes, false), &raw[text], &output);
  }
  return raw;
}

// Sections that other sections name as their class: bases, not items.
std::set<std::string> ClassNames(const std::map<std::string, ui::SkinDefinition>& raw) {
  std::set<std::string> names;
  for (const auto& [text, definition] : raw) {
    for (const auto& [name, section] : definition.Sections()) {
      if (section.Has("Class") && !section.GetValues("Class").empty()) {
        names.insert(section.GetValues("Class").front());
      }
    }
  }
  return names;
}

// The item kind a section's keys show; false for sections no item reads.
bool KindOf(const ui::SkinSection& s, ui::SkinItemKind* kind) {
  using K = ui::SkinItemKind;
  const auto image_count = [&] { return s.Has("Image") ? s.GetValues("Image").size() : 0u; };
  if (s.Name() == "Base") {
    *kind = s.Has("BorderWidth") ? K::kResizableWindow : K::kWindow;
  } else if (s.Has("NormalImage")) {
    *kind = K::kButton;
  } else if (s.Has("Type") && s.Has("ButtonSize")) {
    *kind = K::kScrollBar;
  } else if (s.Has("NormalButton")) {
    *kind = K::kButtonList;
  } else if (s.Has("ImageTilde")) {
    *kind = K::kDigitImage;
  } else if (s.Has("Time")) {
    *kind = K::kAnimation;
  } else if (s.Has("Frame") || s.Has("Limit")) {
    *kind = K::kEditBox;
  } else if (image_count() == 9) {
    *kind = s.Has("Position") ? K::kNineGridImage : K::kOverlay;
  } else if (image_count() == 5) {
    *kind = K::kStaticImage;
  } else if (s.Has("Font") && s.Has("Position")) {
    *kind = K::kText;
  } else {
    return false;
  }
  return true;
}

struct PictureRects {
  std::vector<RECT> rects;
  bool rising = true;  // grid positions must not go back
};

std::vector<int> Numbers(const ui::SkinSection& s, const std::string& key) {
  const ui::SkinValues& v = s.GetValues(key);
  std::vector<int> n;
  for (size_t i = 1; i < v.size(); ++i) n.push_back(ui::SkinAtoi(v[i]));
  return n;
}

POINT SizeOf(const ui::SkinSection& s, const char* size_key) {
  return s.Has(size_key) && s.GetValues(size_key).size() == 2 ? ui::PointFromValues(s, size_key)
                                                              : POINT{0, 0};
}

// The animation's Image gives the first cell's corner, then columns and rows
// of cells the item's Size.
PictureRects AnimationCells(const ui::SkinSection& s, const std::vector<int>& n) {
  PictureRects out;
  const POINT cell = SizeOf(s, "Size");
  for (int row = 0; row < n[3]; ++row) {
    for (int column = 0; column < n[2]; ++column) {
      const int left = n[0] + column * cell.x;
      const int top = n[1] + row * cell.y;
      out.rects.push_back(RECT{left, top, left + cell.x, top + cell.y});
    }
  }
  return out;
}

// A button state other than the normal one may give -1 for x (the normal
// picture's x) or y (the normal picture's y plus the state's slot times the
// height): the states stacked under the normal picture.
int ButtonSlot(const std::string& key) {
  if (key == "HotNormalImage") return 1;
  if (key == "PushImage") return 2;
  if (key == "HotPushImage") return 3;
  return 0;
}

// The rectangles a key's values cut out of its picture (values after the
// name), by what the section's item kind reads from them; kind is null for
// sections no item reads.
PictureRects RectsOf(const ui::SkinSection& s, const std::string& key,
                     const ui::SkinItemKind* kind) {
  std::vector<int> n = Numbers(s, key);
  PictureRects out;
  if (kind && *kind == ui::SkinItemKind::kAnimation && key == "Image") {
    return n.size() == 4 ? AnimationCells(s, n) : out;
  }
  if (kind && *kind == ui::SkinItemKind::kButton && ButtonSlot(key) > 0 && n.size() == 2 &&
      s.Has("NormalImage")) {
    const std::vector<int> normal = Numbers(s, "NormalImage");
    const POINT size = SizeOf(s, "Size");
    if (normal.size() == 2) {
      if (n[0] == -1) n[0] = normal[0];
      if (n[1] == -1) n[1] = normal[1] + ButtonSlot(key) * size.y;
    }
  }
  if (n.size() == 2) {
    const POINT size = SizeOf(s, key == "Image" || key == "ImageP" ? "ImageSize" : "Size");
    out.rects.push_back(RECT{n[0], n[1], n[0] + size.x, n[1] + size.y});
  } else if (n.size() == 4) {
    out.rects.push_back(RECT{n[0], n[1], n[2], n[3]});
  } else if (n.size() == 6 && (key == "BaseImage" || key.rfind("IconImage.", 0) == 0)) {
    // A list view icon: its rectangle, then its offset inside the cell.
    out.rects.push_back(RECT{n[0], n[1], n[2], n[3]});
  } else if (n.size() == 6) {
    out.rects.push_back(RECT{n[0], n[4], n[3], n[5]});
    out.rising = n[0] <= n[1] && n[1] <= n[2] && n[2] <= n[3] && n[4] <= n[5];
  } else if (n.size() == 8 &&
             (key == "UpButtonImage" || key == "DownButtonImage" || key == "ThumbImage")) {
    const POINT size = SizeOf(s, key == "ThumbImage" ? "ThumbSize" : "ButtonSize");
    for (int i = 0; i < 4; ++i) {
      out.rects.push_back(RECT{n[2 * i], n[2 * i + 1], n[2 * i] + size.x, n[2 * i + 1] + size.y});
    }
  } else if (n.size() == 8) {
    out.rects.push_back(RECT{n[0], n[4], n[3], n[7]});
    out.rising = n[0] <= n[1] && n[1] <= n[2] && n[2] <= n[3] && n[4] <= n[5] && n[5] <= n[6] &&
                 n[6] <= n[7];
  }
  return out;
}

void CheckPictures(HMODULE module, const ui::SkinSection& s, int* checked) {
  for (const auto& [key, values] : s.Keys()) {
    if (values.empty()) continue;
    std::string picture = values.front();
    if (EndsWith(picture, "/LANG")) picture.resize(picture.size() - 5);
    if (!EndsWith(picture, ".PNG")) continue;
    int width = 0, height = 0;
    ASSERT_TRUE(PngSize(module, picture, &width, &height))
        << s.Name() << "/" << key << ": " << picture << " is no 24-bit RGB PNG of the skin";
    if (s.Name() == "Description") {
      // The list of the skin's pictures: each must be there.
      for (const std::string& listed : values) {
        EXPECT_TRUE(PngSize(module, listed, &width, &height)) << listed;
      }
      continue;
    }
    ui::SkinItemKind kind;
    const bool known = KindOf(s, &kind);
    const PictureRects rects = RectsOf(s, key, known ? &kind : nullptr);
    EXPECT_FALSE(rects.rects.empty()) << s.Name() << "/" << key << ": no known layout";
    EXPECT_TRUE(rects.rising) << s.Name() << "/" << key;
    for (const RECT& r : rects.rects) {
      EXPECT_TRUE(0 <= r.left && r.left <= r.right && r.right <= width && 0 <= r.top &&
                  r.top <= r.bottom && r.bottom <= height)
          << s.Name() << "/" << key << " cuts " << r.left << "," << r.top << "," << r.right << ","
          << r.bottom << " out of " << picture << " (" << width << "x" << height << ")";
      ++*checked;
    }
  }
}

// A resizable window's dividing points cut its Base picture into nine cells
// of no negative size: x1, y1, x2, y2 inside the picture's rectangle, in
// order.
void CheckGrid(const ui::SkinSection& base) {
  if (!base.Has("DivPoint") || !base.Has("Image")) return;
  const std::vector<int> image = Numbers(base, "Image");
  const ui::SkinValues& div = base.GetValues("DivPoint");
  ASSERT_EQ(image.size(), 4u);
  ASSERT_EQ(div.size(), 4u);
  const int x1 = ui::SkinAtoi(div[0]), y1 = ui::SkinAtoi(div[1]);
  const int x2 = ui::SkinAtoi(div[2]), y2 = ui::SkinAtoi(div[3]);
  EXPECT_TRUE(image[0] <= x1 && x1 <= x2 && x2 <= image[2] && image[1] <= y1 && y1 <= y2 &&
              y2 <= image[3])
      << "DivPoint " << x1 << "," << y1 << "," << x2 << "," << y2 << " does not divide " << image[0]
      << "," << image[1] << "," << image[2] << "," << image[3];
}

struct LayoutCase {
  const char* name;
  bool has_kind;
  ui::SkinItemKind kind;
  std::vector<std::pair<std::string, ui::SkinValues>> keys;
  const char* key;
  std::vector<RECT> expected;
};

TEST(SkinLintTest, ReadsEachKindsPictureValuesAsThatKindDoes) {
  using K = ui::SkinItemKind;
  const LayoutCase cases[] = {
      {"animation cells, one row",
       true,
       K::kAnimation,
       {{"Size", {"16", "16"}}, {"Image", {"P.png", "208", "152", "3", "1"}}},
       "Image",
       {{208, 152, 224, 168}, {224, 152, 240, 168}, {240, 152, 256, 168}}},
      {"animation cells, row by row",
       true,
       K::kAnimation,
       {{"Size", {"10", "5"}}, {"Image", {"P.png", "0", "100", "2", "2"}}},
       "Image",
       {{0, 100, 10, 105}, {10, 100, 20, 105}, {0, 105, 10, 110}, {10, 105, 20, 110}}},
      {"animation without cells",
       true,
       K::kAnimation,
       {{"Size", {"16", "16"}}, {"Image", {"P.png", "0", "0", "0", "1"}}},
       "Image",
       {}},
      {"button state stacked under the normal one",
       true,
       K::kButton,
       {{"Size", {"16", "20"}},
        {"NormalImage", {"P.png", "4", "100"}},
        {"PushImage", {"P.png", "-1", "-1"}}},
       "PushImage",
       {{4, 140, 20, 160}}},
      {"button state at its own place",
       true,
       K::kButton,
       {{"Size", {"16", "20"}},
        {"NormalImage", {"P.png", "4", "100"}},
        {"HotPushImage", {"P.png", "-1", "7"}}},
       "HotPushImage",
       {{4, 7, 20, 27}}},
      {"button icon by its own size",
       true,
       K::kButton,
       {{"Size", {"16", "20"}}, {"ImageSize", {"8", "8"}}, {"Image", {"P.png", "1", "2"}}},
       "Image",
       {{1, 2, 9, 10}}},
      {"static image rectangle",
       true,
       K::kStaticImage,
       {{"Image", {"P.png", "336", "152", "436", "168"}}},
       "Image",
       {{336, 152, 436, 168}}},
      {"class of no kind, rectangle",
       false,
       K::kText,
       {{"Image", {"P.png", "1", "2", "3", "4"}}},
       "Image",
       {{1, 2, 3, 4}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    ui::SkinSection section("Item");
    for (const auto& [key, values] : c.keys) section.Set(key, values);
    const PictureRects rects = RectsOf(section, c.key, c.has_kind ? &c.kind : nullptr);
    ASSERT_EQ(rects.rects.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_TRUE(EqualRect(&rects.rects[i], &c.expected[i]))
          << i << ": " << rects.rects[i].left << "," << rects.rects[i].top << ","
          << rects.rects[i].right << "," << rects.rects[i].bottom;
    }
  }
}

TEST(SkinLintTest, EveryShippedSkinLoadsPassesItsSchemasAndStaysInsideItsPictures) {
  ovtest::CMessageBoxCapture boxes;
  for (const SkinModule& m : Modules()) {
    SCOPED_TRACE(m.label);
    std::vector<std::string> texts;
    int pictures = 0;
    for (const std::string& name : ResourceNames(m.module)) {
      if (EndsWith(name, ".TXT")) texts.push_back(name);
      int width = 0, height = 0;
      if (EndsWith(name, ".PNG")) {
        EXPECT_TRUE(PngSize(m.module, name, &width, &height)) << name;
        ++pictures;
      }
    }
    EXPECT_GE(texts.size(), 3u);
    EXPECT_GE(pictures, 1);
    const auto raw = RawTexts(m.module, texts);
    const std::set<std::string> classes = ClassNames(raw);
    int items = 0, rects = 0;
    for (const std::string& text : texts) {
      SCOPED_TRACE(text);
      ui::SkinDefinition definition;
      try {
        definition = ui::SkinDefinition::LoadUncached(text, m.module);
      } catch (const ui::CSkinWindowException& e) {
        ADD_FAILURE() << e.what();
        continue;
      }
      // A window file (one with its own "Base") describes items; shared
      // texts hold bases for window files, checked where those use them.
      // Its items take the Base font's open values, as the window does.
      const ui::SkinDefinition& written = raw.at(text);
      const bool window_file = written.HasSection("Base");
      if (window_file) ui::InheritBaseFont(definition, "Base");
      for (auto& [name, section] : definition.Sections()) {
        CheckPictures(m.module, section, &rects);
        if (window_file && name == "Base") CheckGrid(section);
        if (!window_file || !written.HasSection(name) || classes.count(name) ||
            name == "StringTable") {
          continue;
        }
        ui::SkinItemKind kind;
        if (!KindOf(section, &kind)) {
          ADD_FAILURE() << name << ": no item kind has these keys";
          continue;
        }
        ui::SkinSection checked = section;
        try {
          ui::CheckSkinItemSection(checked, kind);
          ++items;
        } catch (const ui::CSkinWindowException& e) {
          ADD_FAILURE() << e.what();
        }
      }
      if (definition.HasSection("StringTable")) definition.GetStringTable();
    }
    EXPECT_GT(rects, 0);
    if (m.label == "test") {
      EXPECT_GE(items, 4);
    }
  }
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
