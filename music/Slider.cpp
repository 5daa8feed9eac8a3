#include "Slider.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "DIB.h"
#include "SkinItemResources.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"

namespace ui {

namespace {

const std::vector<SkinParamKind> kPair = {kSkinInt, kSkinInt};
const std::vector<SkinParamKind> kPicture = {kSkinText, kSkinInt, kSkinInt};

// The key names of one set in the order they are tested.
const char* const kSetKeys[] = {
    "Position",     "Size",      "MinImage",         "MaxImage",
    "DisableImage", "ThumbSize", "NormalThumbImage", "DisableThumbImage",
    "HotThumbImage"};

struct SetName {
  int index;  // 0 horizontal, 1 vertical
  const char* suffix;
};

// The sets a layout fills, horizontal first, with the suffix of their keys.
std::vector<SetName> SetsOf(int layout) {
  switch (layout) {
    case kSliderLayoutVertical:
      return {{1, ""}};
    case kSliderLayoutHorizontal:
      return {{0, ""}};
    case kSliderLayoutBoth:
      return {{0, ".h"}, {1, ".v"}};
    default:
      return {};
  }
}

const SkinSection& Checked(const SkinSection& section, int layout) {
  SkinSchemaTable table;
  for (const SetName& set : SetsOf(layout))
    for (const char* key : kSetKeys) {
      const std::string name = std::string(key) + set.suffix;
      const bool picture = std::string(key).find("Image") != std::string::npos;
      table.push_back({name, picture ? kPicture : kPair});
    }
  table.push_back({"ToolTipText", {kSkinText}});
  CheckSkinSection(section, table);
  return section;
}

SkinItemPicture PictureAt(const SkinSection& section, const std::string& key, POINT size) {
  SkinItemPicture picture;
  picture.name = section.GetValues(key).at(0);
  const int x = IntFromValues(section, key, 1);
  const int y = IntFromValues(section, key, 2);
  picture.rect = RECT{x, y, x + size.x, y + size.y};
  return picture;
}

// Blits the part of the piece's cut-out under the item rectangle `r`.
void BlitPiece(lib::wfc::CDIB& back, POINT origin, const SkinItemPicture& piece, const RECT& r) {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0 || !piece.IsSet()) return;
  CItemPicture source(piece.name);
  if (!source.Get()) return;
  back.BlitKeyed(origin.x + r.left, origin.y + r.top, width, height, *source.Get(),
                 piece.rect.left + r.left, piece.rect.top + r.top, lib::wfc::kMagenta);
}

}  // namespace

CSkinWindowItemSlider::CSkinWindowItemSlider(ISkinWindowItemAccessor* accessor, int id,
                                             const SkinSection& section,
                                             CSkinItemResources* resources, int layout)
    : CSkinWindowItem(accessor, id), _layout(layout) {
  Load(Checked(section, layout), resources);
}

void CSkinWindowItemSlider::Load(const SkinSection& section, CSkinItemResources* resources) {
  for (const SetName& name : SetsOf(_layout)) {
    const std::string s = name.suffix;
    SliderSet& set = _sets[name.index];
    set.rect = RectFromPositionSize(section, "Position" + s, "Size" + s);
    const POINT size = PointFromValues(section, "Size" + s);
    const POINT thumb = PointFromValues(section, "ThumbSize" + s);
    set.pictures[kSliderMax] = PictureAt(section, "MaxImage" + s, size);
    set.pictures[kSliderMin] = PictureAt(section, "MinImage" + s, size);
    if (section.Has("MaxImageSecond" + s)) {
      CheckSkinKeyIfPresent(section, {"MaxImageSecond" + s, kPicture});
      set.pictures[kSliderMaxSecond] = PictureAt(section, "MaxImageSecond" + s, size);
    } else {
      set.pictures[kSliderMaxSecond] = set.pictures[kSliderMax];
    }
    set.pictures[kSliderDisabled] = PictureAt(section, "DisableImage" + s, size);
    set.pictures[kSliderThumb] = PictureAt(section, "NormalThumbImage" + s, thumb);
    set.pictures[kSliderThumbDisabled] = PictureAt(section, "DisableThumbImage" + s, thumb);
    set.pictures[kSliderThumbHot] = PictureAt(section, "HotThumbImage" + s, thumb);
  }
  _tooltip = section.GetValues("ToolTipText").at(0);
  if (resources)
    for (const SliderSet& set : _sets)
      for (const SkinItemPicture& picture : set.pictures)
        if (picture.IsSet()) resources->Acquire(picture.name);
  const RECT& r = _sets[0].rect;
  SetBounds(r.left, r.top, r.right, r.bottom);
}

RECT CSkinWindowItemSlider::ThumbRect() const {
  const SliderSet& set = _sets[0];
  const int width = set.pictures[kSliderMax].Width();
  const int height = set.pictures[kSliderMax].Height();
  const int thumb = set.pictures[kSliderThumb].Width();
  const int left = SliderPixelOffset(_range, _position, width - thumb);
  return RECT{left, 0, left + thumb, height};
}

void CSkinWindowItemSlider::Report(int code) {
  const int value = SliderValueOfFraction(_range, _position);
  if (code == kSliderReportMoved && value == _last_reported) return;
  _last_reported = value;
  if (Accessor()) Accessor()->Notify(Id(), code, value);
}

INT_PTR CSkinWindowItemSlider::OnNotify(int code, INT_PTR value, INT_PTR extra) {
  switch (code) {
    case kSliderGetMinimum:
      return _range.minimum;
    case kSliderGetMaximum:
      return _range.maximum;
    case kSliderSetMinimum:
      _range.minimum = static_cast<int>(extra);
      return 0;
    case kSliderSetMaximum:
      _range.maximum = static_cast<int>(extra);
      return 0;
    case kSliderSetStep:
      _range.step = std::max(static_cast<int>(extra), 1);
      return 0;
    case kSliderGetValue:
      return SliderValueOfFraction(_range, value == 1 ? _second : _position);
    case kSliderSetValue: {
      // The user's hand wins over the program while the thumb is held.
      if (_dragging) return 0;
      const double fraction = SliderFractionOfValue(_range, static_cast<int>(extra));
      double& target = value == 1 ? _second : _position;
      if (fraction != target) {
        target = fraction;
        // A later press on this value is no change to report.
        if (value != 1) _last_reported = SliderValueOfFraction(_range, fraction);
        Redraw();
      }
      return 0;
    }
    default:
      return CSkinWindowItem::OnNotify(code, value, extra);
  }
}

bool CSkinWindowItemSlider::MoveTo(POINT pt) {
  const double fraction =
      SliderFractionAtPoint(_range, pt.x, Width(), _sets[0].pictures[kSliderThumb].Width());
  if (fraction == _position) return false;
  _position = fraction;
  return true;
}

bool CSkinWindowItemSlider::OnLButtonDown(POINT pt) {
  if (!IsEnabled() || _dragging) return false;
  _dragging = true;
  MoveTo(pt);
  Report(kSliderReportMoved);
  Redraw();
  return true;
}

void CSkinWindowItemSlider::OnMouseMove(POINT pt) {
  if (!IsEnabled()) return;
  if (_dragging) {
    if (MoveTo(pt)) {
      Report(kSliderReportMoved);
      Redraw();
    }
    return;
  }
  const RECT thumb = ThumbRect();
  const bool hot = PtInRect(&thumb, pt) != 0;
  if (hot == _hot) return;
  _hot = hot;
  Redraw();
}

void CSkinWindowItemSlider::OnLButtonUp(POINT pt) {
  if (!IsEnabled() || !_dragging) return;
  _dragging = false;
  MoveTo(pt);
  Report(kSliderReportReleased);
  Redraw();
}

void CSkinWindowItemSlider::OnLButtonCancel(POINT) {
  // The capture was taken away: the thumb stays where the last move put
  // it, and the window still hears that the drag is over.
  if (!_dragging) return;
  _dragging = false;
  _hot = false;
  Report(kSliderReportReleased);
  Redraw();
}

void CSkinWindowItemSlider::OnMouseLeave() {
  if (!IsEnabled()) return;
  _hot = _dragging;
  Redraw();
}

bool CSkinWindowItemSlider::OnSetCursor(POINT pt) {
  const RECT thumb = ThumbRect();
  if (IsEnabled() && IsVisible() && PtInRect(&thumb, pt)) {
    ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
    return true;
  }
  return CSkinWindowItem::OnSetCursor(pt);
}

void CSkinWindowItemSlider::OnEnabledChanged() {
  if (!IsEnabled()) {
    if (_dragging) OnLButtonCancel(POINT{-1, -1});
    _hot = false;
  }
  Redraw();
}

void CSkinWindowItemSlider::Draw() {
  lib::wfc::CDIB* back = Accessor() ? Accessor()->GetBackBuffer() : nullptr;
  if (!back) return;
  const SliderSet& set = _sets[0];
  const bool enabled = IsEnabled();
  const SkinItemPicture& a = set.pictures[enabled ? kSliderMax : kSliderDisabled];
  const SkinItemPicture& b = set.pictures[enabled ? kSliderMaxSecond : kSliderDisabled];
  const SkinItemPicture& c = set.pictures[enabled ? kSliderMin : kSliderDisabled];
  const SkinItemPicture& thumb =
      set.pictures[!enabled ? kSliderThumbDisabled : (_hot ? kSliderThumbHot : kSliderThumb)];
  const int length = a.Width();
  const int height = a.Height();
  const int p1 = SliderPixelOffset(_range, _position, length);
  const int p2 = SliderPixelOffset(_range, _second, length);
  const POINT origin = {X(), Y()};
  BlitPiece(*back, origin, a, RECT{0, 0, p1, height});
  BlitPiece(*back, origin, c, RECT{p1, 0, length, height});
  BlitPiece(*back, origin, b, RECT{0, 0, p2, height});
  const RECT at = ThumbRect();
  if (!thumb.IsSet()) return;
  CItemPicture source(thumb.name);
  if (!source.Get()) return;
  back->BlitKeyed(origin.x + at.left, origin.y + at.top, thumb.Width(), thumb.Height(),
                  *source.Get(), thumb.rect.left, thumb.rect.top, lib::wfc::kMagenta);
}

CSkinWindowItem* CreateSlider(CSkinWindow* window, int id, const SkinSection& section, int layout) {
  return window->AddItem(std::make_unique<CSkinWindowItemSlider>(
      window, id, section, window->GetItemResourceObject(), layout));
}

}  // namespace ui
