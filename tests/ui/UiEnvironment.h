// Starts the framework once per test process, as a program's start-up does,
// and gives the helpers every skin test shares: texts made in memory and a
// source of in-memory skin files that counts its reads.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "SkinSource.h"
#include "_WindowPolicy.h"

namespace uitest {

class CUiEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    lib::wfc::Initialize(GetModuleHandleA(nullptr), "OvUiTest", nullptr, nullptr);
    lib::wfc::InitThread();
  }
  void TearDown() override {
    lib::wfc::TermThread();
    lib::wfc::Terminate();
  }
};

// A skin text: the header line, then the lines, joined with CR LF.
inline std::string SkinText(std::initializer_list<const char*> lines) {
  std::string text = "<RVK2 Skin Definition File Version 0.10>";
  for (const char* line : lines) text += std::string("\r\n") + line;
  return text + "\r\n";
}

// A module handle of its own for each use: the definition cache is keyed by
// module, so every test loads as if for the first time.
inline HMODULE FreshModule() {
  static std::atomic<uintptr_t> next{0x7A000000};
  return reinterpret_cast<HMODULE>(next += 0x10000);
}

// In-memory skin files per module, in place of the resources while it lives.
class CMemorySkinSource final : public ui::ISkinTextSource {
 public:
  CMemorySkinSource() : _previous(ui::SetSkinTextSource(this)) {}
  ~CMemorySkinSource() override { ui::SetSkinTextSource(_previous); }
  CMemorySkinSource(const CMemorySkinSource&) = delete;
  CMemorySkinSource& operator=(const CMemorySkinSource&) = delete;

  void Add(HMODULE module, const std::string& name, std::string bytes, bool utf16 = false) {
    std::lock_guard<std::mutex> hold(_mutex);
    _files[{module, name}] = {std::move(bytes), utf16};
  }

  bool ReadText(const std::string& name, HMODULE module, ui::SkinTextBytes* out) override {
    std::lock_guard<std::mutex> hold(_mutex);
    ++_reads[name];
    const auto found = _files.find({module, name});
    if (found == _files.end()) return false;
    *out = found->second;
    return true;
  }

  int Reads(const std::string& name) {
    std::lock_guard<std::mutex> hold(_mutex);
    return _reads[name];
  }

 private:
  ui::ISkinTextSource* _previous;
  std::mutex _mutex;
  std::map<std::pair<HMODULE, std::string>, ui::SkinTextBytes> _files;  // guarded by _mutex
  std::map<std::string, int> _reads;                                    // guarded by _mutex
};

}  // namespace uitest
