#include "SkinSource.h"

#include <atomic>

#include "Log.h"
#include "OstrovelleLite/WholeFile.h"
#include "SkinDefinition.h"
#include "Threads.h"

namespace ui {

namespace {

const char kSkinType[] = "Skin";
// A skin text is a few hundred kilobytes at most.
const size_t kMaxFolderText = 16 * 1024 * 1024;

HMODULE OrOwn(HMODULE module) { return module ? module : GetModuleHandleA(nullptr); }

class CDefaultSkinTextSource final : public ISkinTextSource {
 public:
  bool ReadText(const std::string& name, HMODULE module, SkinTextBytes* out) override {
    std::string bytes;
    if (IsSkinFromResources()) {
      if (!ReadFromResources(name, module, &bytes)) return false;
      out->utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                   static_cast<unsigned char>(bytes[1]) == 0xFE;
      if (out->utf16) bytes.erase(0, 2);
    } else {
      if (!ReadFromFolder(name, &bytes)) return false;
      // Files in the folder are told apart by their second byte alone.
      out->utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xFE;
      if (out->utf16 && static_cast<unsigned char>(bytes[0]) == 0xFF) bytes.erase(0, 2);
    }
    out->bytes.swap(bytes);
    return true;
  }

 private:
  static bool ReadFromResources(const std::string& name, HMODULE module, std::string* bytes) {
    if (module) return ReadSkinResource(module, name.c_str(), kSkinType, bytes);
    const HMODULE language = GetLanguageModule();
    if (language && ReadSkinResource(language, name.c_str(), kSkinType, bytes)) return true;
    return ReadSkinResource(OrOwn(GetSkinModule()), name.c_str(), kSkinType, bytes);
  }

  static bool ReadFromFolder(const std::string& name, std::string* bytes) {
    const std::string path = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr)) + "Skin\\" + name;
    DWORD error = 0;
    return ReadWholeFile(path, kMaxFolderText, bytes, &error) == kWholeFileRead;
  }
};

CDefaultSkinTextSource g_default_source;
std::atomic<ISkinTextSource*> g_source{nullptr};

}  // namespace

ISkinTextSource* SetSkinTextSource(ISkinTextSource* source) { return g_source.exchange(source); }

ISkinTextSource& CurrentSkinTextSource() {
  ISkinTextSource* source = g_source.load();
  return source ? *source : g_default_source;
}

bool ReadSkinResource(HMODULE module, const char* name, const char* type, std::string* out) {
  const HRSRC found = FindResourceA(module, name, type);
  if (!found) return false;
  const DWORD size = SizeofResource(module, found);
  const HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  // Resource texts carry no terminator: the size alone bounds them.
  out->assign(static_cast<const char*>(data), size);
  return true;
}

}  // namespace ui
