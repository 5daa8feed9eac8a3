#include "SkinKeySchema.h"

#include "SkinException.h"
#include "StringUtil.h"

namespace ui {

namespace {

constexpr SkinParamKind T = kSkinText;
constexpr SkinParamKind I = kSkinInt;

const std::vector<SkinParamKind> kII = {I, I};
const std::vector<SkinParamKind> kFont = {T, I, I};
const std::vector<SkinParamKind> kImage4 = {T, I, I, I, I};
const std::vector<SkinParamKind> kImage2 = {T, I, I};
const std::vector<SkinParamKind> kImage6 = {T, I, I, I, I, I, I};
const std::vector<SkinParamKind> kImage8 = {T, I, I, I, I, I, I, I, I};

void CheckTable(const SkinSection& section, const SkinSchemaTable& table) {
  CheckSkinSection(section, table.data(), table.size());
}

void CheckTextBlockIfText(const SkinSection& section) {
  if (section.Has("Text")) CheckTable(section, schema::kTextBlock);
}

void CheckOptional(const SkinSection& section, const SkinSchemaTable& table) {
  for (const SkinKeySchema& s : table) CheckSkinKeyIfPresent(section, s);
}

void CheckButton(SkinSection& section) {
  CheckTable(section, schema::kButton);
  CheckSkinKeyWithFallback(section, {"ToolTipTextP", {T}}, "ToolTipText");
  if (section.Has("Image")) {
    CheckTable(section, {{"Image", kImage2}, {"ImageSize", kII}});
    CheckSkinKeyWithFallback(section, {"ImageP", kImage2}, "Image");
  }
  CheckSkinKeyIfPresent(section, {"DisableImage", kImage2});
  CheckSkinKeyIfPresent(section, {"DisableImageP", kImage2});
  if (section.Has("Width") || section.Has("Divide")) {
    CheckTable(section, {{"Width", {I}}, {"Divide", {I, I, I}}});
  }
  const SkinSchemaTable text = {{"Text", {T}}, {"Font", kFont}, {"TextColor", {I, I, I}}};
  if (section.Has("Text")) CheckTable(section, text);
  if (section.Has("TextP")) {
    CheckTable(section, text);
    CheckSkinKeyIfPresent(section, {"TextP", {T}});
  }
  CheckSkinKeyIfPresent(section, {"TextIndent", {I}});
  CheckSkinKeyIfPresent(section, {"Antialias", {I}});
}

}  // namespace

namespace schema {
const SkinSchemaTable kBaseWindow = {
    {"Image", kImage4}, {"Title", {T}}, {"CaptionHeight", {I}}, {"Font", kFont}};
const SkinSchemaTable kResizableWindow = {
    {"BorderWidth", {I}}, {"DivPoint", {I, I, I, I}}, {"MinSize", kII}, {"LayoutSize", kII}};
const SkinSchemaTable kTextBlock = {{"Text", {T}},          {"TextPosition", kII},
                                    {"TextSize", kII},      {"TextFont", kFont},
                                    {"TextAntialias", {I}}, {"TextColor", {I, I, I}}};
const SkinSchemaTable kTextItem = {{"Position", kII}, {"Size", kII}, {"Font", kFont}};
const SkinSchemaTable kTextItemOptional = {{"Antialias", {I}}, {"Color", {I, I, I}}, {"Text", {T}}};
const SkinSchemaTable kOverlay = {{"Image", kImage8}};
const SkinSchemaTable kOverlayOptional = {{"Alpha", {I}}};
const SkinSchemaTable kEditBox = kTextItem;
const SkinSchemaTable kEditBoxOptional = {
    {"Limit", {I}}, {"Frame", kImage8}, {"DisableFrame", kImage8}};
const SkinSchemaTable kAnimation = {
    {"Position", kII}, {"Size", kII}, {"Image", kImage4}, {"Time", {I}}};
const SkinSchemaTable kDigitImage = {
    {"Position", kII}, {"Size", kII}, {"Image", kImage4}, {"ImageTilde", kImage4}};
const SkinSchemaTable kDigitImageOptional = {{"ToolTipText", {T}}};
const SkinSchemaTable kStaticImage = {{"Position", kII}, {"Size", kII}, {"Image", kImage4}};
const SkinSchemaTable kStaticImageOptional = {{"ToolTipText", {T}}, {"Tile", {T}}};
const SkinSchemaTable kNineGridImage = {{"Position", kII}, {"Size", kII}, {"Image", kImage8}};
const SkinSchemaTable kButton = {{"Position", kII},           {"Size", kII},
                                 {"NormalImage", kImage2},    {"PushImage", kImage2},
                                 {"HotNormalImage", kImage2}, {"HotPushImage", kImage2},
                                 {"PushImageShift", kII},     {"ToolTipText", {T}}};
const SkinSchemaTable kButtonList = {{"Position", kII},
                                     {"Size", kII},
                                     {"Font", kFont},
                                     {"NormalButton", kImage4},
                                     {"NormalHotButton", kImage4},
                                     {"PushedButton", kImage4},
                                     {"PushedHotButton", kImage4},
                                     {"NormalHeader", kImage6},
                                     {"PushedHeader", kImage6},
                                     {"NormalRowCount", {I}},
                                     {"ActiveRow", kImage6},
                                     {"LabelCount", {I}}};
const SkinSchemaTable kScrollBar = {{"Type", {T}},
                                    {"Position", kII},
                                    {"Size", kII},
                                    {"ButtonSize", kII},
                                    {"ThumbSize", kII},
                                    {"ThumbPart", {I, I, I}},
                                    {"BaseImage", kImage6},
                                    {"UpButtonImage", kImage8},
                                    {"DownButtonImage", kImage8},
                                    {"ThumbImage", kImage8},
                                    {"UpImage", kImage4},
                                    {"DownImage", kImage4},
                                    {"DisableUpImage", kImage4},
                                    {"DisableDownImage", kImage4}};
const SkinKeySchema kClass = {"Class", {T}};
}  // namespace schema

std::string SkinKeyMissingText(const std::string& section, const std::string& key) {
  return section + "/" + key + "が定義されていません";
}

std::string SkinKeyCountText(const std::string& section, const std::string& key, size_t needed,
                             size_t given) {
  std::string text = FormatString("%s/%sのパラメータは %u個必要です", section.c_str(), key.c_str(),
                                  static_cast<unsigned>(needed));
  if (given > needed)
    text += FormatString("が、%u個指定されています", static_cast<unsigned>(given));
  return text;
}

void CheckSkinSection(const SkinSection& section, const SkinKeySchema* schemas, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const SkinKeySchema& s = schemas[i];
    const auto found = section.Keys().find(s.key);
    if (found == section.Keys().end()) {
      ThrowSkinException(SkinKeyMissingText(section.Name(), s.key));
    }
    const size_t given = found->second.size();
    if (given != s.kinds.size()) {
      ThrowSkinException(SkinKeyCountText(section.Name(), s.key, s.kinds.size(), given));
    }
  }
}

void CheckSkinSection(const SkinSection& section, const SkinSchemaTable& table) {
  CheckTable(section, table);
}

void CheckSkinKeyWithFallback(SkinSection& section, const SkinKeySchema& schema,
                              const std::string& fallback) {
  if (!section.Has(schema.key)) {
    const SkinValues copy = section.Values(fallback);
    section.Set(schema.key, copy);
  }
  CheckSkinSection(section, &schema, 1);
}

void CheckSkinKeyIfPresent(const SkinSection& section, const SkinKeySchema& schema) {
  if (section.Has(schema.key)) CheckSkinSection(section, &schema, 1);
}

void CheckSkinItemSection(SkinSection& section, SkinItemKind kind) {
  switch (kind) {
    case SkinItemKind::kWindow:
      CheckTable(section, schema::kBaseWindow);
      return;
    case SkinItemKind::kResizableWindow:
      CheckTable(section, schema::kBaseWindow);
      CheckTable(section, schema::kResizableWindow);
      return;
    case SkinItemKind::kText:
      CheckTable(section, schema::kTextItem);
      CheckOptional(section, schema::kTextItemOptional);
      return;
    case SkinItemKind::kOverlay:
      CheckTable(section, schema::kOverlay);
      CheckOptional(section, schema::kOverlayOptional);
      return;
    case SkinItemKind::kEditBox:
      CheckTable(section, schema::kEditBox);
      CheckOptional(section, schema::kEditBoxOptional);
      return;
    case SkinItemKind::kAnimation:
      CheckTable(section, schema::kAnimation);
      CheckTextBlockIfText(section);
      return;
    case SkinItemKind::kDigitImage:
      CheckTable(section, schema::kDigitImage);
      CheckOptional(section, schema::kDigitImageOptional);
      return;
    case SkinItemKind::kStaticImage:
      CheckTable(section, schema::kStaticImage);
      CheckOptional(section, schema::kStaticImageOptional);
      CheckTextBlockIfText(section);
      return;
    case SkinItemKind::kNineGridImage:
      CheckTable(section, schema::kNineGridImage);
      CheckTextBlockIfText(section);
      return;
    case SkinItemKind::kButton:
      CheckButton(section);
      return;
    case SkinItemKind::kButtonList:
      CheckTable(section, schema::kButtonList);
      return;
    case SkinItemKind::kScrollBar:
      CheckTable(section, schema::kScrollBar);
      return;
  }
}

}  // namespace ui
