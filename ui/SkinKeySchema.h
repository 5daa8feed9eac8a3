// The vocabulary of the skin files: for each key of a window's or item's
// section, how many values it takes. Constant tables built before the
// program's entry function runs; the checks are safe on any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "SkinDefinition.h"

namespace ui {

enum SkinParamKind { kSkinText = 0, kSkinInt = 1 };

struct SkinKeySchema {
  std::string key;
  std::vector<SkinParamKind> kinds;  // one per value, in the order written
};

using SkinSchemaTable = std::vector<SkinKeySchema>;

// Tests the first `count` schemas in order; the first failure throws the
// skin exception (after its box).
void CheckSkinSection(const SkinSection& section, const SkinKeySchema* schemas, size_t count);
void CheckSkinSection(const SkinSection& section, const SkinSchemaTable& table);
// When the section has no key K, K receives a copy of the fallback's values
// (the fallback is created empty when missing); then K alone is tested.
void CheckSkinKeyWithFallback(SkinSection& section, const SkinKeySchema& schema,
                              const std::string& fallback);
// Tests the key only when the section has it.
void CheckSkinKeyIfPresent(const SkinSection& section, const SkinKeySchema& schema);

// The texts of the three failures.
std::string SkinKeyMissingText(const std::string& section, const std::string& key);
std::string SkinKeyCountText(const std::string& section, const std::string& key, size_t needed,
                             size_t given);

namespace schema {
extern const SkinSchemaTable kBaseWindow;
extern const SkinSchemaTable kResizableWindow;
extern const SkinSchemaTable kTextBlock;
extern const SkinSchemaTable kTextItem;
extern const SkinSchemaTable kTextItemOptional;
extern const SkinSchemaTable kOverlay;
extern const SkinSchemaTable kOverlayOptional;
extern const SkinSchemaTable kEditBox;
extern const SkinSchemaTable kEditBoxOptional;
extern const SkinSchemaTable kAnimation;
extern const SkinSchemaTable kDigitImage;
extern const SkinSchemaTable kDigitImageOptional;
extern const SkinSchemaTable kStaticImage;
extern const SkinSchemaTable kStaticImageOptional;
extern const SkinSchemaTable kNineGridImage;
extern const SkinSchemaTable kButton;
extern const SkinSchemaTable kButtonList;
extern const SkinSchemaTable kScrollBar;
extern const SkinKeySchema kClass;
}  // namespace schema

enum class SkinItemKind {
  kWindow,
  kResizableWindow,
  kText,
  kOverlay,
  kEditBox,
  kAnimation,
  kDigitImage,
  kStaticImage,
  kNineGridImage,
  kButton,
  kButtonList,
  kScrollBar,
};

// The whole test of one kind of section, optional keys and fallbacks
// included (a button's ToolTipTextP and ImageP are filled in here).
void CheckSkinItemSection(SkinSection& section, SkinItemKind kind);

}  // namespace ui
