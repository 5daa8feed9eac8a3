// The skin lint: every skin text carried by a program (the shipped skins'
// modules and this test's own skin) loads from the real resources without a
// box, every item section passes its kind's schema, and every picture
// rectangle lies inside its PNG. New window files join by themselves.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

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
  for (const char* program : {"main", "music"}) {
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

// The rectangles a key's values cut out of its picture (values after the
// name), by the key's layout.
PictureRects RectsOf(const ui::SkinSection& s, const std::string& key) {
  const ui::SkinValues& v = s.GetValues(key);
  std::vector<int> n;
  for (size_t i = 1; i < v.size(); ++i) n.push_back(ui::SkinAtoi(v[i]));
  PictureRects out;
  auto size_of = [&](const char* size_key) {
    return s.Has(size_key) && s.GetValues(size_key).size() == 2 ? ui::PointFromValues(s, size_key)
                                                                : POINT{0, 0};
  };
  if (n.size() == 2) {
    const POINT size = size_of(key == "Image" || key == "ImageP" ? "ImageSize" : "Size");
    out.rects.push_back(RECT{n[0], n[1], n[0] + size.x, n[1] + size.y});
  } else if (n.size() == 4) {
    out.rects.push_back(RECT{n[0], n[1], n[2], n[3]});
  } else if (n.size() == 6 && key == "BaseImage") {
    out.rects.push_back(RECT{n[0], n[1], n[2], n[3]});
  } else if (n.size() == 6) {
    out.rects.push_back(RECT{n[0], n[4], n[3], n[5]});
    out.rising = n[0] <= n[1] && n[1] <= n[2] && n[2] <= n[3] && n[4] <= n[5];
  } else if (n.size() == 8 &&
             (key == "UpButtonImage" || key == "DownButtonImage" || key == "ThumbImage")) {
    const POINT size = size_of(key == "ThumbImage" ? "ThumbSize" : "ButtonSize");
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
    const PictureRects rects = RectsOf(s, key);
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
      const ui::SkinDefinition& written = raw.at(text);
      const bool window_file = written.HasSection("Base");
      for (auto& [name, section] : definition.Sections()) {
        CheckPictures(m.module, section, &rects);
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
