// The scroll bar's layout, mouse, repeat and drawing, and reading its
// section.
#include "SkinWindowItemScrollBar.h"

#include <algorithm>
#include <cstdint>

#include "DIB.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinItemDraw.h"
#include "SkinItemResources.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"
#include "StringUtil.h"

namespace ui {

using lib::wfc::CDIB;
using lib::wfc::kMagenta;

namespace {

DWORD SystemClock() { return GetTickCount(); }

DWORD (*g_clock)() = &SystemClock;

// Tick counts wrap; a due time is reached when the difference, read signed,
// is not negative.
bool Reached(DWORD now, DWORD due) { return static_cast<int32_t>(now - due) >= 0; }

SkinItemPicture Cut(const SkinSection& section, const std::string& key, size_t pos, SIZE size) {
  const SkinValues& values = SkinValuesAt(section, key, 0, 1 + pos + 2);
  const int x = IntFromValues(section, key, 1 + pos);
  const int y = IntFromValues(section, key, 2 + pos);
  return SkinItemPicture{values[0], RECT{x, y, x + size.cx, y + size.cy}};
}

SkinItemPicture Whole(const SkinSection& section, const std::string& key) {
  const SkinImageRef ref = ImageRefFromValues(section, key);
  return SkinItemPicture{ref.name, ref.rect};
}

void Acquire(CSkinItemResources* resources, const SkinItemPicture& picture) {
  if (resources && picture.IsSet()) resources->Acquire(picture.name);
}

}  // namespace

ScrollBarLook ReadScrollBarLook(const SkinSection& raw) {
  SkinSection section = raw;
  CheckSkinItemSection(section, SkinItemKind::kScrollBar);
  ScrollBarLook look;
  const std::string& type = SkinValuesAt(section, "Type", 0, 1)[0];
  if (type == "V")
    look.vertical = true;
  else if (type == "H")
    look.vertical = false;
  else
    ThrowSkinException(FormatString("%s 無効な スクロールタイプ(%s)が指定されました",
                                    section.Name().c_str(), type.c_str()));
  const RECT rect = RectFromPositionSize(section);
  look.x = rect.left;
  look.y = rect.top;
  look.width = rect.right - rect.left;
  look.height = rect.bottom - rect.top;
  const POINT button = PointFromValues(section, "ButtonSize");
  look.button = SIZE{button.x, button.y};
  const POINT thumb = PointFromValues(section, "ThumbSize");
  look.thumb = SIZE{thumb.x, thumb.y};
  look.thumb_start = IntFromValues(section, "ThumbPart", 0);
  look.thumb_middle = IntFromValues(section, "ThumbPart", 1);
  look.thumb_end = IntFromValues(section, "ThumbPart", 2);
  look.track = Whole(section, "BaseImage");
  look.track_start = IntFromValues(section, "BaseImage", 5);
  look.track_end = IntFromValues(section, "BaseImage", 6);
  for (size_t i = 0; i < 4; ++i) {
    look.first[i] = Cut(section, "UpButtonImage", 2 * i, look.button);
    look.second[i] = Cut(section, "DownButtonImage", 2 * i, look.button);
    look.thumb_pictures[i] = Cut(section, "ThumbImage", 2 * i, look.thumb);
  }
  look.first_label = Whole(section, "UpImage");
  look.second_label = Whole(section, "DownImage");
  look.first_label_disabled = Whole(section, "DisableUpImage");
  look.second_label_disabled = Whole(section, "DisableDownImage");
  return look;
}

int ScrollBarGeometry::PartAt(int along) const {
  if (along < 0 || along >= length) return kScrollPartNone;
  if (along < button) return kScrollPartFirst;
  if (along >= length - button) return kScrollPartSecond;
  if (!has_thumb) return kScrollPartNone;
  if (along >= thumb_start && along < thumb_end) return kScrollPartThumb;
  return along < thumb_start ? kScrollPartTrackBefore : kScrollPartTrackAfter;
}

ScrollBarGeometry ComputeScrollBarGeometry(int length, int button, int fixed_start, int fixed_end,
                                           int position, int maximum, int page) {
  ScrollBarGeometry g;
  g.length = std::max(length, 0);
  g.button = std::clamp(button, 0, g.length / 2);
  g.track_start = g.button;
  g.track_end = g.length - g.button;
  g.travel = g.track_end - g.track_start - fixed_start - fixed_end;
  page = std::max(page, 1);
  maximum = std::max(maximum, 0);
  position = std::clamp(position, 0, maximum);
  g.has_thumb = g.travel > 0;
  if (!g.has_thumb) {
    g.thumb_start = g.thumb_end = g.track_start;
    return g;
  }
  const int64_t whole = static_cast<int64_t>(page) + maximum;
  const int middle = static_cast<int>(static_cast<int64_t>(g.travel) * page / whole);
  const int offset = static_cast<int>(static_cast<int64_t>(g.travel) * position / whole);
  g.thumb_start = g.track_start + offset;
  g.thumb_end = g.thumb_start + fixed_start + middle + fixed_end;
  return g;
}

int ScrollPositionFromOffset(int offset, int travel, int maximum, int page) {
  if (travel <= 0 || maximum <= 0) return 0;
  const int64_t position =
      static_cast<int64_t>(offset) * (static_cast<int64_t>(maximum) + std::max(page, 1)) / travel;
  return static_cast<int>(std::clamp<int64_t>(position, 0, maximum));
}

void CSkinWindowItemScrollBar::SetClock(DWORD (*clock)()) {
  g_clock = clock ? clock : &SystemClock;
}

CSkinWindowItemScrollBar::CSkinWindowItemScrollBar(ISkinWindowItemAccessor* accessor, int id,
                                                   ScrollBarLook look)
    : CSkinWindowItem(accessor, id), _look(std::move(look)) {
  SetBounds(_look.x, _look.y, _look.x + _look.width, _look.y + _look.height);
}

CSkinWindowItemScrollBar::CSkinWindowItemScrollBar(ISkinWindowItemAccessor* accessor, int id,
                                                   const SkinSection& section,
                                                   CSkinItemResources* resources)
    : CSkinWindowItemScrollBar(accessor, id, ReadScrollBarLook(section)) {
  Acquire(resources, _look.track);
  for (int i = 0; i < 4; ++i) {
    Acquire(resources, _look.first[i]);
    Acquire(resources, _look.second[i]);
    Acquire(resources, _look.thumb_pictures[i]);
  }
  Acquire(resources, _look.first_label);
  Acquire(resources, _look.second_label);
  Acquire(resources, _look.first_label_disabled);
  Acquire(resources, _look.second_label_disabled);
}

bool CSkinWindowItemScrollBar::IsEnabled() const { return Enabled() && _maximum != 0; }

ScrollBarGeometry CSkinWindowItemScrollBar::Geometry() const {
  const int length = _look.vertical ? Height() : Width();
  const int button = _look.vertical ? _look.button.cy : _look.button.cx;
  return ComputeScrollBarGeometry(length, button, _look.thumb_start, _look.thumb_end, _position,
                                  _maximum, _page);
}

int CSkinWindowItemScrollBar::PartAt(POINT pt) const {
  if (!Contains(pt)) return kScrollPartNone;
  return Geometry().PartAt(Along(pt));
}

void CSkinWindowItemScrollBar::SetPos(int position) {
  _position = std::clamp(position, 0, _maximum);
  Redraw();
}

void CSkinWindowItemScrollBar::SetRange(int last, int page) {
  _page = std::max(page, 1);
  _maximum = last < _page ? 0 : last - _page + 1;
  _position = std::clamp(_position, 0, _maximum);
  Redraw();
}

void CSkinWindowItemScrollBar::ScrollBy(int delta, CSkinWindowItem* target) {
  const long long wanted = static_cast<long long>(_position) + delta;
  SetPos(static_cast<int>(std::clamp<long long>(wanted, 0, _maximum)));
  if (target) target->OnNotify(_look.vertical ? WM_VSCROLL : WM_HSCROLL, SB_THUMBTRACK, _position);
}

void CSkinWindowItemScrollBar::Send(int code, int position) {
  const UINT message = _look.vertical ? WM_VSCROLL : WM_HSCROLL;
  const int value = code == SB_THUMBPOSITION ? position : 0;
  if (_listener)
    _listener->OnScroll(this, message, code, value);
  else if (Accessor())
    Accessor()->SendMessageToWindow(message, static_cast<WPARAM>(code), value);
}

void CSkinWindowItemScrollBar::SendPartCode(int part) {
  switch (part) {
    case kScrollPartFirst:
      if (_position > 0) Send(SB_LINEUP, 0);
      break;
    case kScrollPartSecond:
      if (_position < _maximum) Send(SB_LINEDOWN, 0);
      break;
    case kScrollPartTrackBefore:
      Send(SB_PAGEUP, 0);
      break;
    case kScrollPartTrackAfter:
      Send(SB_PAGEDOWN, 0);
      break;
    default:
      break;
  }
}

int CSkinWindowItemScrollBar::StateOf(int part) const {
  if (!IsEnabled()) return 0;
  const bool pushed = _pressed == part && _held == part;
  const bool hot = _hover == part;
  return (pushed ? 2 : 0) + (hot ? 1 : 0);
}

bool CSkinWindowItemScrollBar::OnLButtonDown(POINT pt) {
  if (!IsEnabled() || _pressed != kScrollPartNone) return false;
  const int part = PartAt(pt);
  if (part == kScrollPartNone) return false;
  _pressed = _held = _hover = part;
  _press_position = _position;
  _press_along = _along = Along(pt);
  _repeat_pending = true;
  _repeat_due = g_clock() + kFirstRepeatMs;
  Redraw();
  SendPartCode(part);
  return true;
}

void CSkinWindowItemScrollBar::OnMouseMove(POINT pt) {
  const int part = PartAt(pt);
  if (_pressed == kScrollPartNone) {
    if (part != _hover) {
      _hover = part;
      Redraw();
    }
    return;
  }
  const int held_before = _held;
  _along = Along(pt);
  if (_pressed == kScrollPartThumb) {
    const ScrollBarGeometry g = Geometry();
    _held = kScrollPartThumb;
    if (!g.has_thumb) return;
    const ScrollBarGeometry at_press = ComputeScrollBarGeometry(
        g.length, g.button, _look.thumb_start, _look.thumb_end, _press_position, _maximum, _page);
    const int offset = at_press.thumb_start - at_press.track_start + (_along - _press_along);
    const int position = ScrollPositionFromOffset(offset, g.travel, _maximum, _page);
    if (position != _position) Send(SB_THUMBPOSITION, position);
    return;
  }
  _held = part == _pressed ? part : kScrollPartNone;
  if (_held != held_before) {
    if (_held != kScrollPartNone) {
      _repeat_pending = true;
      _repeat_due = g_clock() + kRepeatMs;
    }
    Redraw();
  }
}

void CSkinWindowItemScrollBar::OnTick(DWORD tick) {
  if (!_repeat_pending || !Reached(tick, _repeat_due)) return;
  if (_pressed == kScrollPartNone || _pressed == kScrollPartThumb) return;
  if (_held != _pressed) return;
  // A page repeat ends once the thumb has come under the pointer.
  const int under = Geometry().PartAt(_along);
  if (under != _pressed) {
    _held = kScrollPartNone;
    _repeat_pending = false;
    Redraw();
    return;
  }
  _repeat_due = tick + kRepeatMs;
  SendPartCode(_pressed);
}

void CSkinWindowItemScrollBar::OnLButtonUp(POINT pt) {
  if (_pressed == kScrollPartNone) return;
  _pressed = _held = kScrollPartNone;
  _repeat_pending = false;
  _hover = PartAt(pt);
  Redraw();
}

void CSkinWindowItemScrollBar::OnMouseLeave() {
  if (_pressed != kScrollPartNone || _hover == kScrollPartNone) return;
  _hover = kScrollPartNone;
  Redraw();
}

void CSkinWindowItemScrollBar::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
}

void CSkinWindowItemScrollBar::OnEnabledChanged() { Redraw(); }

namespace {

// Draws a picture along the bar: its fixed start, its middle repeated to
// fill `length`, its fixed end. `at` is the bitmap point of the start; the
// picture's cross size is kept.
void DrawThreeParts(CDIB& target, const CDIB& source, const RECT& picture, int fixed_start,
                    int fixed_end, bool vertical, POINT at, int length) {
  const int picture_length = vertical ? picture.bottom - picture.top : picture.right - picture.left;
  const int cross = vertical ? picture.right - picture.left : picture.bottom - picture.top;
  fixed_start = std::clamp(fixed_start, 0, std::min(picture_length, length));
  fixed_end =
      std::clamp(fixed_end, 0, std::min(picture_length - fixed_start, length - fixed_start));
  const int middle_source = picture_length - fixed_start - fixed_end;
  const int middle = length - fixed_start - fixed_end;
  auto piece = [&](int from, int size, int to) {
    if (size <= 0) return;
    if (vertical)
      target.BlitKeyed(at.x, at.y + to, cross, size, source, picture.left, picture.top + from,
                       kMagenta);
    else
      target.BlitKeyed(at.x + to, at.y, size, cross, source, picture.left + from, picture.top,
                       kMagenta);
  };
  piece(0, fixed_start, 0);
  if (middle > 0 && middle_source > 0) {
    RECT tile = picture;
    if (vertical) {
      tile.top += fixed_start;
      tile.bottom = tile.top + middle_source;
      target.TileBlit(at.x, at.y + fixed_start, cross, middle, source, true, &tile, 255, kMagenta);
    } else {
      tile.left += fixed_start;
      tile.right = tile.left + middle_source;
      target.TileBlit(at.x + fixed_start, at.y, middle, cross, source, true, &tile, 255, kMagenta);
    }
  }
  piece(picture_length - fixed_end, fixed_end, length - fixed_end);
}

void DrawPicture(CDIB& target, const SkinItemPicture& picture, int x, int y) {
  if (!picture.IsSet()) return;
  CItemPicture source(picture.name);
  if (!source.Get()) return;
  target.BlitKeyed(x, y, picture.Width(), picture.Height(), *source.Get(), picture.rect.left,
                   picture.rect.top, kMagenta);
}

}  // namespace

void CSkinWindowItemScrollBar::Draw() {
  if (!IsVisible() || Width() <= 0 || Height() <= 0 || !Accessor() || !Accessor()->IsDrawable())
    return;
  CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  CNarrowClip clip(*back, Rect());
  const ScrollBarGeometry g = Geometry();
  const bool v = _look.vertical;
  const bool enabled = IsEnabled();
  auto at = [&](int along, int across) {
    return v ? POINT{X() + across, Y() + along} : POINT{X() + along, Y() + across};
  };
  if (_look.track.IsSet()) {
    CItemPicture source(_look.track.name);
    if (source.Get())
      DrawThreeParts(*back, *source.Get(), _look.track.rect, _look.track_start, _look.track_end, v,
                     at(g.track_start, 0), g.track_end - g.track_start);
  }
  const int button_length = v ? _look.button.cy : _look.button.cx;
  struct End {
    int part;
    int along;
    const SkinItemPicture* states;
    const SkinItemPicture* label;
  };
  const End ends[2] = {
      {kScrollPartFirst, 0, _look.first,
       enabled ? &_look.first_label : &_look.first_label_disabled},
      {kScrollPartSecond, g.length - button_length, _look.second,
       enabled ? &_look.second_label : &_look.second_label_disabled},
  };
  for (const End& end : ends) {
    const POINT corner = at(end.along, 0);
    DrawPicture(*back, end.states[StateOf(end.part)], corner.x, corner.y);
    const int dx = (_look.button.cx - end.label->Width()) / 2;
    const int dy = (_look.button.cy - end.label->Height()) / 2;
    DrawPicture(*back, *end.label, corner.x + dx, corner.y + dy);
  }
  if (!enabled || !g.has_thumb) return;
  const SkinItemPicture& thumb = _look.thumb_pictures[StateOf(kScrollPartThumb)];
  if (!thumb.IsSet()) return;
  CItemPicture source(thumb.name);
  if (!source.Get()) return;
  const int bar_cross = v ? Width() : Height();
  const int thumb_cross = v ? _look.thumb.cx : _look.thumb.cy;
  DrawThreeParts(*back, *source.Get(), thumb.rect, _look.thumb_start, _look.thumb_end, v,
                 at(g.thumb_start, (bar_cross - thumb_cross) / 2), g.thumb_end - g.thumb_start);
}

}  // namespace ui
