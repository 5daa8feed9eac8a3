#include "SkinException.h"

#include "Log.h"
#include "MessageBox.h"

namespace ui {

namespace {

const char kCaption[] = "Skin Load";

}  // namespace

void ShowSkinLoadBox(const std::string& text) {
  lib::wfc::MessageBox(nullptr, text.c_str(), kCaption, MB_ICONERROR);
}

void ThrowSkinException(const std::string& text) {
  OV_LOG(kLogError, "Skin Load: %s", text.c_str());
  ShowSkinLoadBox(text);
  throw CSkinWindowException(text);
}

}  // namespace ui
