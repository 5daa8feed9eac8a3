#include "SkinException.h"

#include <mutex>

#include "Log.h"
#include "MessageBox.h"

namespace ui {

namespace {

const char kCaption[] = "Skin Load";

}  // namespace

void ShowSkinLoadBox(const std::string& text) {
  // The framework's narrow box always takes the application's name as its
  // caption, so the handler is read back and called with our own caption.
  // Handlers are set at start-up and by tests before boxes are shown; the
  // lock keeps two skin boxes from reading it at the same moment.
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  const lib::wfc::MessageBoxHandler handler =
      lib::wfc::SetMessageBoxHandler(static_cast<lib::wfc::MessageBoxHandler>(nullptr));
  lib::wfc::SetMessageBoxHandler(handler);
  if (handler) {
    handler(nullptr, text.c_str(), kCaption, MB_ICONERROR);
  } else {
    ::MessageBoxA(nullptr, text.c_str(), kCaption, MB_ICONERROR);
  }
}

void ThrowSkinException(const std::string& text) {
  OV_LOG(kLogError, "Skin Load: %s", text.c_str());
  ShowSkinLoadBox(text);
  throw CSkinWindowException(text);
}

}  // namespace ui
