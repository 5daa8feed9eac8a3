// Loads a large generated skin (a window file, its shared text and its
// language file: thousands of sections with classes and macros) cold, many
// times, and then from the definition cache, and prints the times.
// Usage: OvSkinBench [sections=3000] [rounds=5]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "OvWindows.h"
#include "SkinDefinition.h"
#include "SkinSource.h"
#include "StringUtil.h"

namespace {

class CBenchSource final : public ui::ISkinTextSource {
 public:
  bool ReadText(const std::string& name, HMODULE, ui::SkinTextBytes* out) override {
    const auto found = files.find(name);
    if (found == files.end()) return false;
    out->bytes = found->second;
    out->utf16 = false;
    return true;
  }
  std::map<std::string, std::string> files;
};

const char kHeader[] = "<RVK2 Skin Definition File Version 0.10>\r\n";

void MakeSkin(int sections, CBenchSource* source) {
  std::string language = kHeader;
  language += "ReplacementTable\r\n{\r\n";
  for (int i = 0; i < 200; ++i)
    language += FormatString("\t%%Text%d%% = \"表示テキスト%d\";\r\n", i, i);
  language += "}\r\n";
  std::string common = kHeader;
  common += "#language \"Strings.txt\"\r\nReplacementTable\r\n{\r\n";
  for (int i = 0; i < 50; ++i) common += FormatString("\t%%Color%d%% = %d;\r\n", i, i * 5);
  common += "}\r\n";
  for (int i = 0; i < 40; ++i) {
    common += FormatString(
        "Class%d\r\n{\r\n\tSize = 80, 24;\r\n\tNormalImage = \"Parts.png\", %d, 0;\r\n"
        "\tPushImage = \"Parts.png\", %d, 24;\r\n\tFont = \"%%FontName%%\", 12, 400;\r\n"
        "\tTextColor = %%Color%d%%, %%Color%d%%, %%Color%d%%;\r\n}\r\n",
        i, i * 80, i * 80, i % 50, (i + 1) % 50, (i + 2) % 50);
  }
  std::string window = kHeader;
  window += "#include \"Common.txt\"\r\n";
  for (int i = 0; i < sections; ++i) {
    window += FormatString(
        "Item%05d\r\n{\r\n\tClass = \"Class%d\";\r\n\tPosition = %d, %d;\r\n"
        "\tToolTipText = \"%%Text%d%%\";\r\n\tText = \"%%Text%d%%\" \\\r\n\t\t\" (続き)\";\r\n"
        "\t// comment \"with quotes\"\r\n\tHotNormalImage = \"Parts.png\", %d, 48;\r\n}\r\n",
        i, i % 40, i % 640, i / 640, i % 200, (i * 7) % 200, i % 640);
  }
  source->files = {{"Window.txt", window}, {"Common.txt", common}, {"Strings.txt", language}};
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

}  // namespace

int main(int argc, char** argv) {
  const int sections = argc > 1 ? std::max(1, atoi(argv[1])) : 3000;
  const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
  CBenchSource source;
  MakeSkin(sections, &source);
  ui::SetSkinTextSource(&source);
  size_t bytes = 0;
  for (const auto& [name, text] : source.files) bytes += text.size();

  std::vector<double> cold;
  size_t loaded = 0;
  for (int r = 0; r < rounds; ++r) {
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    loaded = ui::SkinDefinition::LoadUncached("Window.txt").Sections().size();
    QueryPerformanceCounter(&b);
    cold.push_back(Seconds(a, b));
  }
  std::sort(cold.begin(), cold.end());

  LARGE_INTEGER a, b, c;
  QueryPerformanceCounter(&a);
  ui::SkinDefinition::Load("Window.txt");
  QueryPerformanceCounter(&b);
  const int cached_rounds = rounds * 20;
  for (int r = 0; r < cached_rounds; ++r) ui::SkinDefinition::Load("Window.txt");
  QueryPerformanceCounter(&c);
  ui::SetSkinTextSource(nullptr);

  printf("skin: %zu bytes in 3 texts, %zu sections\n", bytes, loaded);
  printf("cold load: best %.1f ms, median %.1f ms (%d rounds)\n", cold.front() * 1000,
         cold[cold.size() / 2] * 1000, rounds);
  printf("first load into the cache: %.1f ms\n", Seconds(a, b) * 1000);
  printf("cached load (a copy): %.2f ms each (%d rounds)\n", Seconds(b, c) * 1000 / cached_rounds,
         cached_rounds);
  return 0;
}
