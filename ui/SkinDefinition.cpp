#include "SkinDefinition.h"

#include <atomic>
#include <utility>

#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinParser.h"
#include "SkinSource.h"
#include "StringUtil.h"
#include "Threads.h"

namespace ui {

namespace {

// Deeper chains than these are no skin a person wrote: they end with the
// include and class texts instead of exhausting the stack.
const int kMaxIncludeDepth = 16;
const int kMaxClassDepth = 32;

std::atomic<bool> g_from_resources{true};
std::atomic<HMODULE> g_skin_module{nullptr};
std::atomic<HMODULE> g_language_module{nullptr};

using CacheKey = std::pair<HMODULE, std::string>;

lib::wfc::CCriticalSection& CacheLock() {
  static lib::wfc::CCriticalSection lock;
  return lock;
}

// Guarded by CacheLock().
std::map<CacheKey, SkinDefinition>& Cache() {
  static std::map<CacheKey, SkinDefinition> cache;
  return cache;
}

struct IncludeLists {
  std::vector<std::string> includes;
  std::vector<std::string> languages;
};

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  for (const std::string& n : list) {
    if (n == name) return true;
  }
  return false;
}

SkinDefinition LoadWithIncludes(const std::string& name, IncludeLists* lists, HMODULE module,
                                int depth);

// One referenced file, its failure wrapped with the file's name.
SkinDefinition LoadReferenced(const std::string& name, IncludeLists* lists, HMODULE module,
                              int depth) {
  try {
    if (depth > kMaxIncludeDepth) ThrowSkinException("skin file open error");
    return LoadWithIncludes(name, lists, module, depth);
  } catch (const CSkinWindowException& e) {
    ThrowSkinException(FormatString("[%sの取り込みエラー]%s", name.c_str(), e.what()));
  }
}

SkinDefinition LoadWithIncludes(const std::string& name, IncludeLists* lists, HMODULE module,
                                int depth) {
  SkinTextBytes text;
  if (!CurrentSkinTextSource().ReadText(name, module, &text)) {
    ThrowSkinException("skin file open error");
  }
  SkinDefinition definition;
  SkinParseOutput output;
  const std::string error =
      ParseSkinLines(name, SplitSkinLines(text.bytes, text.utf16), &definition, &output);
  if (!error.empty()) ThrowSkinException(error);

  for (const std::string& include : output.includes) {
    if (Contains(lists->includes, include)) continue;
    lists->includes.push_back(include);
    definition.LayOver(LoadReferenced(include, lists, module, depth + 1));
  }
  const HMODULE language_module = module ? module : GetLanguageModule();
  for (const std::string& language : output.languages) {
    if (Contains(lists->languages, language)) continue;
    lists->languages.push_back(language);
    definition.LayOver(LoadReferenced(language, lists, language_module, depth + 1));
  }
  return definition;
}

void ApplyReplacementTable(SkinDefinition* definition) {
  if (!definition->HasSection("ReplacementTable")) return;
  const std::map<std::string, SkinValues> table =
      definition->Sections().at("ReplacementTable").Keys();
  definition->RemoveSection("ReplacementTable");
  // Keys are taken in ascending order and compared without regard to case;
  // a replacement equal to a later key is replaced again by that key. Each
  // value is folded only when its length matches a key's.
  std::vector<std::pair<std::string, std::string>> keys;  // folded key, replacement
  std::vector<bool> lengths;
  for (const auto& [key, values] : table) {
    keys.emplace_back(ToUpper(key), values.empty() ? std::string() : values.front());
    if (lengths.size() <= key.size()) lengths.resize(key.size() + 1);
    lengths[key.size()] = true;
  }
  auto replace = [&](std::string& value) {
    size_t next = 0;
    while (next < keys.size() && value.size() < lengths.size() && lengths[value.size()]) {
      const std::string folded = ToUpper(value);
      size_t i = next;
      while (i < keys.size() && keys[i].first != folded) ++i;
      if (i == keys.size()) return;
      value = keys[i].second;
      next = i + 1;
    }
  };
  for (auto& [section_name, section] : definition->Sections()) {
    for (auto& [key, list] : section.Keys()) {
      for (std::string& value : list) replace(value);
    }
  }
}

// Every occurrence of `find`, scanning whole characters of code page 932 so
// that the second byte of a two-byte character never starts a match.
void ReplaceAllCp932(std::string& text, const std::string& find, const std::string& replacement) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, find.size(), find) == 0) {
      out += replacement;
      i += find.size();
    } else if (IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      out.append(text, i, 2);
      i += 2;
    } else {
      out += text[i++];
    }
  }
  text.swap(out);
}

void ResolveClass(SkinDefinition* definition, SkinSection* section, int depth) {
  if (!section->Has("Class")) return;
  CheckSkinSection(*section, &schema::kClass, 1);
  const std::string parent_name = section->GetValues("Class").front();
  section->Remove("Class");
  if (!definition->HasSection(parent_name) || depth > kMaxClassDepth) {
    ThrowSkinException(FormatString("%s 無効な Class(%s)が指定されました", section->Name().c_str(),
                                    parent_name.c_str()));
  }
  SkinSection& parent = definition->Sections().at(parent_name);
  ResolveClass(definition, &parent, depth + 1);
  SkinSection merged = parent;
  merged.SetName(section->Name());
  for (auto& [key, values] : section->Keys()) merged.Set(key, std::move(values));
  *section = std::move(merged);
}

SkinDefinition Build(const std::string& name, HMODULE module) {
  IncludeLists lists;
  SkinDefinition definition = LoadWithIncludes(name, &lists, module, 0);
  ApplyReplacementTable(&definition);
  for (auto& [section_name, section] : definition.Sections()) {
    ResolveClass(&definition, &section, 0);
  }
  return definition;
}

}  // namespace

const SkinValues& SkinSection::GetValues(const std::string& key) const {
  const auto found = _keys.find(key);
  if (found == _keys.end()) ThrowSkinException(SkinKeyMissingText(_name, key));
  return found->second;
}

SkinDefinition SkinDefinition::Load(const std::string& file_name, HMODULE module) {
  const CacheKey key(module, file_name);
  {
    lib::wfc::CLock hold(&CacheLock());
    const auto found = Cache().find(key);
    if (found != Cache().end()) return found->second;
  }
  // Built without the lock: a failure shows its box, and two threads that
  // build the same definition both succeed, the later store winning.
  SkinDefinition built = Build(file_name, module);
  lib::wfc::CLock hold(&CacheLock());
  Cache()[key] = built;
  return built;
}

SkinDefinition SkinDefinition::LoadUncached(const std::string& file_name, HMODULE module) {
  return Build(file_name, module);
}

SkinSection SkinDefinition::GetSection(const SkinItemDescriptor& item) const {
  return GetSection(item.section);
}

SkinSection SkinDefinition::GetSection(const std::string& name) const {
  const auto found = _sections.find(name);
  if (found == _sections.end()) ThrowSkinException(name + "が記述されていません");
  return found->second;
}

void SkinDefinition::RequireSections(const std::vector<std::string>& names) const {
  for (const std::string& name : names) {
    if (!HasSection(name)) ThrowSkinException(name + "が記述されていません");
  }
}

std::map<std::string, std::string> SkinDefinition::GetStringTable() const {
  const SkinSection table = GetSection(std::string("StringTable"));
  std::map<std::string, std::string> strings;
  for (const auto& [key, values] : table.Keys()) {
    if (values.empty()) continue;
    std::string text = values.front();
    ReplaceAllCp932(text, "\\n", "\n");
    ReplaceAllCp932(text, "\\r", "\r");
    ReplaceAllCp932(text, "\\0x22", "\"");
    strings[key] = text;
  }
  return strings;
}

SkinSection& SkinDefinition::Section(const std::string& name) {
  const auto found = _sections.find(name);
  if (found != _sections.end()) return found->second;
  return _sections.emplace(name, SkinSection(name)).first->second;
}

void SkinDefinition::LayOver(const SkinDefinition& under) {
  for (const auto& [name, section] : under._sections) {
    SkinSection& mine = Section(name);
    for (const auto& [key, values] : section.Keys()) {
      if (!mine.Has(key)) mine.Set(key, values);
    }
  }
}

void SetSkinFromResources(bool on) { g_from_resources = on; }
bool IsSkinFromResources() { return g_from_resources; }
void SetSkinModule(HMODULE module) { g_skin_module = module; }
void SetLanguageModule(HMODULE module) { g_language_module = module; }
HMODULE GetSkinModule() { return g_skin_module; }
HMODULE GetLanguageModule() { return g_language_module; }

}  // namespace ui
