// The one exception of the skin layer and the one way to raise it: every
// skin failure is shown to the user in a "Skin Load" box first, then thrown
// to the caller with the same text. Safe on any thread; never call it while
// holding the picture cache's lock (the box waits for the user).
#pragma once

#include <stdexcept>
#include <string>

namespace ui {

class CSkinWindowException : public std::runtime_error {
 public:
  explicit CSkinWindowException(const std::string& text) : std::runtime_error(text) {}
};

[[noreturn]] void ThrowSkinException(const std::string& text);

// The box alone, through the framework's replaceable handler.
void ShowSkinLoadBox(const std::string& text);

}  // namespace ui
