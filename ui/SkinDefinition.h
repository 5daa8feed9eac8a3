// A parsed skin definition: named sections of keys with value lists, read
// from a program's resources (or its "Skin" folder) with includes, language
// files, macros and class inheritance applied. Loaded definitions are kept in
// one process-wide cache under its lock; every caller gets its own copy, so a
// SkinDefinition itself belongs to one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "OvWindows.h"

namespace ui {

using SkinValues = std::vector<std::string>;

class SkinSection {
 public:
  SkinSection() = default;
  explicit SkinSection(std::string name) : _name(std::move(name)) {}

  const std::string& Name() const { return _name; }
  void SetName(std::string name) { _name = std::move(name); }

  bool Has(const std::string& key) const { return _keys.count(key) != 0; }
  // The key's values; a missing key throws the skin exception with the
  // schema's "not defined" text.
  const SkinValues& GetValues(const std::string& key) const;
  // The key, created empty when missing.
  SkinValues& Values(const std::string& key) { return _keys[key]; }
  void Set(const std::string& key, SkinValues values) { _keys[key] = std::move(values); }
  void Remove(const std::string& key) { _keys.erase(key); }

  const std::map<std::string, SkinValues>& Keys() const { return _keys; }
  std::map<std::string, SkinValues>& Keys() { return _keys; }

  bool operator==(const SkinSection& other) const {
    return _name == other._name && _keys == other._keys;
  }

 private:
  std::string _name;
  std::map<std::string, SkinValues> _keys;
};

// A section of a window's skin and the id of the item it describes.
struct SkinItemDescriptor {
  std::string section;
  uint16_t id = 0;
};

class SkinDefinition {
 public:
  // From the cache when the same (module, name) was loaded before. Throws
  // CSkinWindowException (after its box).
  static SkinDefinition Load(const std::string& file_name, HMODULE module = nullptr);
  // The same, read afresh and not kept (for checking tools and sweeps).
  static SkinDefinition LoadUncached(const std::string& file_name, HMODULE module = nullptr);

  SkinSection GetSection(const SkinItemDescriptor& item) const;
  SkinSection GetSection(const std::string& name) const;
  void RequireSections(const std::vector<std::string>& names) const;
  std::map<std::string, std::string> GetStringTable() const;

  bool HasSection(const std::string& name) const { return _sections.count(name) != 0; }
  // The section of that name, created when missing.
  SkinSection& Section(const std::string& name);
  void RemoveSection(const std::string& name) { _sections.erase(name); }
  const std::map<std::string, SkinSection>& Sections() const { return _sections; }
  std::map<std::string, SkinSection>& Sections() { return _sections; }

  // This definition laid over `under`, key by key: a key present here
  // replaces the whole value list of the same key there.
  void LayOver(const SkinDefinition& under);

  bool operator==(const SkinDefinition& other) const { return _sections == other._sections; }

 private:
  std::map<std::string, SkinSection> _sections;
};

// Process-wide choices, made at start-up before skins are loaded.
// Resources (the shipped setting) or the "Skin" folder beside the program.
void SetSkinFromResources(bool on);
bool IsSkinFromResources();
// Null: the program's own module.
void SetSkinModule(HMODULE module);
void SetLanguageModule(HMODULE module);
HMODULE GetSkinModule();
HMODULE GetLanguageModule();

}  // namespace ui
