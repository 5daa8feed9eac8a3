// Reading a button list view's section: the required keys are tested by the
// item schema, the numbered keys (rows, labels, icons) as their counts ask.
// Counts are never trusted for an allocation: each entry is read, and a
// missing one fails, before it is kept.
#include <string>

#include "ButtonListView.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"
#include "StringUtil.h"

namespace ui {

namespace {

const std::vector<SkinParamKind> kImage4 = {kSkinText, kSkinInt, kSkinInt, kSkinInt, kSkinInt};
const std::vector<SkinParamKind> kImage6 = {kSkinText, kSkinInt, kSkinInt, kSkinInt,
                                            kSkinInt,  kSkinInt, kSkinInt};

std::string Numbered(const char* key, int i) { return FormatString("%s.%d", key, i); }

void Check(const SkinSection& section, const std::string& key,
           const std::vector<SkinParamKind>& kinds) {
  CheckSkinSection(section, SkinSchemaTable{{key, kinds}});
}

SkinItemPicture Whole(const SkinSection& section, const std::string& key) {
  const SkinImageRef ref = ImageRefFromValues(section, key);
  return SkinItemPicture{ref.name, ref.rect};
}

// file, x0, x1, x2, x3, y0, y1
ListSlices Slices(const SkinSection& section, const std::string& key) {
  const SkinValues& values = SkinValuesAt(section, key, 0, 7);
  ListSlices slices;
  const int x0 = IntFromValues(section, key, 1);
  slices.x1 = IntFromValues(section, key, 2);
  slices.x2 = IntFromValues(section, key, 3);
  const int x3 = IntFromValues(section, key, 4);
  const int y0 = IntFromValues(section, key, 5);
  const int y1 = IntFromValues(section, key, 6);
  slices.picture = SkinItemPicture{values[0], RECT{x0, y0, x3, y1}};
  return slices;
}

int Count(const SkinSection& section, const char* key) {
  const int n = IntFromValues(section, key);
  return n < 0 ? 0 : n;
}

}  // namespace

ButtonListLook ReadButtonListLook(const SkinSection& raw) {
  SkinSection section = raw;
  CheckSkinItemSection(section, SkinItemKind::kButtonList);
  ButtonListLook look;
  look.rect = RectFromPositionSize(section);
  look.font = LogFontFromValues(section, "Font");
  static const char* const kButtons[4] = {"NormalButton", "NormalHotButton", "PushedButton",
                                          "PushedHotButton"};
  for (int i = 0; i < 4; ++i) look.buttons[i] = Whole(section, kButtons[i]);
  // Rows are counted by dividing by this height.
  if (look.RowHeight() < 1)
    ThrowSkinException(FormatString("%s/NormalButtonの高さは 1以上が必要です(%d)",
                                    section.Name().c_str(), look.RowHeight()));
  look.normal_header = Slices(section, "NormalHeader");
  look.pushed_header = Slices(section, "PushedHeader");
  look.active_row = Slices(section, "ActiveRow");

  const int rows = Count(section, "NormalRowCount");
  for (int i = 0; i < rows; ++i) {
    const std::string key = Numbered("NormalRow", i);
    Check(section, key, kImage6);
    look.rows.push_back(Slices(section, key));
  }
  const int labels = Count(section, "LabelCount");
  for (int i = 0; i < labels; ++i) {
    ListLabel label;
    static const char* const kLabels[4] = {"OnLabel", "OffLabel", "OnDLabel", "OffDLabel"};
    SkinItemPicture* const slots[4] = {&label.on, &label.off, &label.on_disabled,
                                       &label.off_disabled};
    for (int k = 0; k < 4; ++k) {
      const std::string key = Numbered(kLabels[k], i);
      Check(section, key, kImage4);
      *slots[k] = Whole(section, key);
    }
    // The tips are optional; the pushed one falls back to the normal one.
    const std::string tip = Numbered("ButtonToolTipText", i);
    const std::string tip_on = Numbered("ButtonToolTipTextP", i);
    if (section.Has(tip) && !section.GetValues(tip).empty()) label.tip = section.GetValues(tip)[0];
    label.tip_on = label.tip;
    if (section.Has(tip_on) && !section.GetValues(tip_on).empty())
      label.tip_on = section.GetValues(tip_on)[0];
    look.labels.push_back(label);
  }
  if (section.Has("IconCount")) {
    Check(section, "IconCount", {kSkinInt});
    const int icons = Count(section, "IconCount");
    for (int i = 0; i < icons; ++i) {
      const std::string key = Numbered("IconImage", i);
      Check(section, key, kImage6);
      ListIcon icon;
      icon.picture = Whole(section, key);
      icon.offset = PointFromValues(section, key, 5);
      look.icons.push_back(icon);
    }
  }
  return look;
}

}  // namespace ui
