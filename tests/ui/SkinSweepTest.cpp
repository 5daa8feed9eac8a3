// Corruption sweep over the shipped skin texts: every truncation, seeded
// flipped bytes and random token streams each load or fail with a skin
// exception, never crash or hang.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "MessageBoxCapture.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinSource.h"
#include "StringUtil.h"
#include "Threads.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

// Files by name whatever the module; one of them is swapped per load.
class CSweepSource final : public ui::ISkinTextSource {
 public:
  CSweepSource() : _previous(ui::SetSkinTextSource(this)) {}
  ~CSweepSource() override { ui::SetSkinTextSource(_previous); }

  bool ReadText(const std::string& name, HMODULE, ui::SkinTextBytes* out) override {
    const auto found = files.find(ToUpper(name));
    if (found == files.end()) return false;
    out->bytes = found->second;
    out->utf16 = false;
    return true;
  }

  std::map<std::string, std::string> files;

 private:
  ui::ISkinTextSource* _previous;
};

BOOL CALLBACK AddText(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR files) {
  if (IS_INTRESOURCE(name)) return TRUE;
  const std::string n = name;
  if (n.size() < 4 || n.compare(n.size() - 4, 4, ".TXT") != 0) return TRUE;
  std::string bytes;
  if (ui::ReadSkinResource(module, name, type, &bytes)) {
    (*reinterpret_cast<std::map<std::string, std::string>*>(files))[n] = bytes;
  }
  return TRUE;
}

// The shipped texts, one set per program.
std::vector<std::map<std::string, std::string>> ShippedTexts() {
  std::vector<std::map<std::string, std::string>> sets;
  const std::string folder = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr));
  for (const char* program : {"main", "music"}) {
    const HMODULE m = LoadLibraryA((folder + "skin_" + program + ".dll").c_str());
    if (!m) continue;
    std::map<std::string, std::string> files;
    EnumResourceNamesA(m, "SKIN", &AddText, reinterpret_cast<LONG_PTR>(&files));
    sets.push_back(files);
  }
  return sets;
}

// Loads and says whether it failed; anything but the skin exception escapes.
bool LoadFails(const std::string& name) {
  try {
    ui::SkinDefinition::LoadUncached(name);
    return false;
  } catch (const ui::CSkinWindowException& e) {
    EXPECT_NE(std::string(e.what()), "");
    return true;
  }
}

// Every truncation of every file costs the square of the texts' size: the
// files are dealt round-robin to a few cases, so that no one case grows
// towards its time-out as the skins grow, and the cases can run side by side.
constexpr int kTruncationShards = 8;

class SkinTruncationTest : public ::testing::TestWithParam<int> {};

TEST_P(SkinTruncationTest, EveryTruncationLoadsOrFailsWithItsText) {
  const auto sets = ShippedTexts();
  ASSERT_EQ(sets.size(), 2u);
  ovtest::CMessageBoxCapture boxes;
  CSweepSource source;
  int file_index = 0;
  int files_swept = 0;
  int loads = 0;
  for (const auto& files : sets) {
    for (const auto& [name, text] : files) {
      if (file_index++ % kTruncationShards != GetParam()) continue;
      ++files_swept;
      source.files = files;
      for (size_t n = 0; n <= text.size(); ++n) {
        source.files[name] = text.substr(0, n);
        LoadFails(name);
        ++loads;
      }
    }
  }
  // Every case has files to sweep while the programs ship more than
  // kTruncationShards skin texts.
  EXPECT_GT(files_swept, 0);
  EXPECT_GT(loads, 100);
}

INSTANTIATE_TEST_SUITE_P(Shards, SkinTruncationTest, ::testing::Range(0, kTruncationShards));

TEST(SkinSweepTest, FlippedBytesLoadOrFailWithTheirText) {
  const auto sets = ShippedTexts();
  ovtest::CMessageBoxCapture boxes;
  CSweepSource source;
  std::mt19937 random(20261211);
  int failures = 0;
  for (const auto& files : sets) {
    for (const auto& [name, text] : files) {
      for (int round = 0; round < 400; ++round) {
        source.files = files;
        std::string& bytes = source.files[name];
        const int flips = 1 + round % 4;
        for (int i = 0; i < flips && !bytes.empty(); ++i) {
          bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
        }
        failures += LoadFails(name);
      }
    }
  }
  EXPECT_GT(failures, 0);
}

TEST(SkinSweepTest, RandomTokenStreamsLoadOrFailWithTheirText) {
  static const char* const kPieces[] = {"{",
                                        "}",
                                        ",",
                                        ";",
                                        "=",
                                        "\\",
                                        "\"",
                                        "\"\"",
                                        " ",
                                        "\t",
                                        "\r\n",
                                        "//",
                                        "#include",
                                        "#language",
                                        "#bad",
                                        "A",
                                        "Base",
                                        "Class",
                                        "ReplacementTable",
                                        "StringTable",
                                        "%M%",
                                        "a.txt",
                                        "b.txt",
                                        "表",
                                        "\x81",
                                        "\xFF",
                                        "12",
                                        "-99999999999"};
  ovtest::CMessageBoxCapture boxes;
  CSweepSource source;
  std::mt19937 random(7);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    source.files.clear();
    for (const char* name : {"A.TXT", "B.TXT"}) {
      std::string text = "<header>\r\n";
      const int count = random() % 80;
      for (int i = 0; i < count; ++i) text += kPieces[random() % std::size(kPieces)];
      source.files[name] = text;
    }
    loaded += !LoadFails("a.txt");
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
