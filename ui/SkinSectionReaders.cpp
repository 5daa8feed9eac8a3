// Reading the window's Base section and each item kind's section: the
// section is tested against its schema first (a copy, since the test fills
// in fallbacks), then its keys become the item's look.
#include <algorithm>

#include "ButtonListView.h"
#include "SkinItemResources.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"
#include "SkinWindow.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemEditBox.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemScrollBar.h"
#include "SkinWindowItemStatic.h"
#include "SkinWindowItemStaticImage.h"

namespace ui {

namespace {

SkinSection Checked(const SkinSection& section, SkinItemKind kind) {
  SkinSection copy = section;
  CheckSkinItemSection(copy, kind);
  return copy;
}

int Int(const SkinSection& section, const std::string& key, size_t pos = 0) {
  return IntFromValues(section, key, pos);
}

bool HasValue(const SkinSection& section, const std::string& key) {
  return section.Has(key) && !section.GetValues(key).empty();
}

// A picture named with its left and top; the size comes from elsewhere.
SkinItemPicture PictureAt(const SkinSection& section, const std::string& key, SIZE size) {
  const SkinValues& values = SkinValuesAt(section, key, 0, 3);
  const int x = Int(section, key, 1);
  const int y = Int(section, key, 2);
  return SkinItemPicture{values[0], RECT{x, y, x + size.cx, y + size.cy}};
}

void ReadNineGrid(const SkinSection& section, NineGridLook* look) {
  const SkinValues& values = SkinValuesAt(section, "Image", 0, 9);
  look->picture = values[0];
  for (int i = 0; i < 4; ++i) {
    look->xs[i] = Int(section, "Image", static_cast<size_t>(1 + i));
    look->ys[i] = Int(section, "Image", static_cast<size_t>(5 + i));
  }
}

void Acquire(CSkinItemResources* resources, const std::string& name) {
  if (resources && !name.empty()) resources->Acquire(name);
}

}  // namespace

void CSkinWindow::LoadBase(const SkinSection& base) {
  const SkinSection section = Checked(base, SkinItemKind::kWindow);
  const SkinImageRef image = ImageRefFromValues(section, "Image");
  _title = section.GetValues("Title")[0];
  _caption_height = Int(section, "CaptionHeight");
  SetWindowFont(LogFontFromValues(section, "Font"));
  SetBaseImage(image.name, image.rect);
}

SkinTextBlock ReadTextBlock(const SkinSection& section) {
  SkinTextBlock block;
  block.font = lib::wfc::DefaultLogFont();
  if (!section.Has("Text")) return block;
  block.text = section.GetValues("Text")[0];
  const POINT at = PointFromValues(section, "TextPosition");
  const POINT size = PointFromValues(section, "TextSize");
  block.rect = RECT{at.x, at.y, at.x + size.x, at.y + size.y};
  block.font = LogFontFromValues(section, "TextFont");
  block.antialias = Int(section, "TextAntialias") != 0;
  block.colour = ColorFromValues(section, "TextColor");
  return block;
}

ButtonLook ReadButtonLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kButton);
  ButtonLook look;
  const RECT rect = RectFromPositionSize(section);
  look.x = rect.left;
  look.y = rect.top;
  look.width = rect.right - rect.left;
  look.height = rect.bottom - rect.top;
  const SIZE size = {look.width, look.height};
  static const char* const kStates[4] = {"NormalImage", "HotNormalImage", "PushImage",
                                         "HotPushImage"};
  look.pictures[0] = PictureAt(section, kStates[0], size);
  for (int slot = 1; slot < 4; ++slot) {
    SkinItemPicture picture = PictureAt(section, kStates[slot], size);
    // -1 takes the normal picture's place: the states stacked under it.
    const int x = picture.rect.left == -1 ? look.pictures[0].rect.left : picture.rect.left;
    const int y =
        picture.rect.top == -1 ? look.pictures[0].rect.top + slot * look.height : picture.rect.top;
    picture.rect = RECT{x, y, x + size.cx, y + size.cy};
    look.pictures[slot] = picture;
  }
  if (section.Has("Image")) {
    const POINT icon = PointFromValues(section, "ImageSize");
    const SIZE icon_size = {icon.x, icon.y};
    look.pictures[kPictureIcon] = PictureAt(section, "Image", icon_size);
    look.pictures[kPictureIconSelected] = PictureAt(section, "ImageP", icon_size);
    if (section.Has("DisableImage"))
      look.pictures[kPictureDisabled] = PictureAt(section, "DisableImage", icon_size);
    if (section.Has("DisableImageP"))
      look.pictures[kPictureDisabledSelected] = PictureAt(section, "DisableImageP", icon_size);
  }
  look.tooltip = section.GetValues("ToolTipText")[0];
  look.tooltip_selected = section.GetValues("ToolTipTextP")[0];
  if (section.Has("Width") || section.Has("Divide")) {
    const int width = Int(section, "Width");
    look.divided = true;
    look.layout_width = width == 0 ? look.width : width;
    look.left_cap = Int(section, "Divide", 0);
    look.right_cap = Int(section, "Divide", 2);
  }
  look.font = lib::wfc::DefaultLogFont();
  if (section.Has("Text")) {
    look.text = look.text_selected = section.GetValues("Text")[0];
    look.text_colour = look.text_colour_selected = ColorFromValues(section, "TextColor");
    look.font = LogFontFromValues(section, "Font");
    if (section.Has("Antialias")) look.antialias = Int(section, "Antialias") != 0;
    if (section.Has("TextP")) look.text_selected = section.GetValues("TextP")[0];
  }
  if (section.Has("TextIndent")) look.text_indent = Int(section, "TextIndent");
  if (HasValue(section, "AutoDisable")) look.auto_disable = Int(section, "AutoDisable") != 0;
  look.push_shift = PointFromValues(section, "PushImageShift");
  return look;
}

StaticLook ReadStaticLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kText);
  StaticLook look;
  look.rect = RectFromPositionSize(section);
  look.font = LogFontFromValues(section, "Font");
  if (section.Has("Antialias")) look.antialias = Int(section, "Antialias") != 0;
  if (section.Has("Color")) look.colour = ColorFromValues(section, "Color");
  if (section.Has("Text")) look.text = section.GetValues("Text")[0];
  return look;
}

AnimationLook ReadAnimationLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kAnimation);
  AnimationLook look;
  look.rect = RectFromPositionSize(section);
  look.picture = SkinValuesAt(section, "Image", 0, 5)[0];
  look.origin = POINT{Int(section, "Image", 1), Int(section, "Image", 2)};
  look.columns = Int(section, "Image", 3);
  look.rows = Int(section, "Image", 4);
  look.time = Int(section, "Time");
  look.text = ReadTextBlock(section);
  return look;
}

DigitImageLook ReadDigitImageLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kDigitImage);
  DigitImageLook look;
  look.rect = RectFromPositionSize(section);
  const SkinImageRef strip = ImageRefFromValues(section, "Image");
  look.strip = SkinItemPicture{strip.name, strip.rect};
  // The tilde is always cut from the digits' picture; its own name is unused.
  look.tilde = ImageRefFromValues(section, "ImageTilde").rect;
  if (section.Has("ToolTipText")) look.tooltip = section.GetValues("ToolTipText")[0];
  return look;
}

StaticImageLook ReadStaticImageLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kStaticImage);
  StaticImageLook look;
  look.rect = RectFromPositionSize(section);
  const SkinImageRef image = ImageRefFromValues(section, "Image");
  look.picture = SkinItemPicture{image.name, image.rect};
  if (section.Has("Tile")) look.tile = Int(section, "Tile") != 0;
  if (section.Has("ToolTipText")) look.tooltip = section.GetValues("ToolTipText")[0];
  look.text = ReadTextBlock(section);
  return look;
}

NineGridLook ReadOverlayLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kOverlay);
  NineGridLook look;
  ReadNineGrid(section, &look);
  if (section.Has("Alpha")) look.alpha = std::clamp(Int(section, "Alpha"), 0, 255);
  return look;
}

NineGridLook ReadNineGridImageLook(const SkinSection& raw) {
  const SkinSection section = Checked(raw, SkinItemKind::kNineGridImage);
  NineGridLook look;
  look.rect = RectFromPositionSize(section);
  ReadNineGrid(section, &look);
  look.text = ReadTextBlock(section);
  return look;
}

// Constructors from a section: read, then acquire the pictures for the
// window.

CSkinWindowItemButton::CSkinWindowItemButton(ISkinWindowItemAccessor* accessor, int id,
                                             const SkinSection& section,
                                             CSkinItemResources* resources)
    : CSkinWindowItemButton(accessor, id, ReadButtonLook(section), resources) {
  for (const SkinItemPicture& picture : _look.pictures) Acquire(resources, picture.name);
}

CSkinWindowItemStatic::CSkinWindowItemStatic(ISkinWindowItemAccessor* accessor, int id,
                                             const SkinSection& section, CSkinItemResources*)
    : CSkinWindowItemStatic(accessor, id, ReadStaticLook(section)) {}

CSkinWindowItemAnimation::CSkinWindowItemAnimation(ISkinWindowItemAccessor* accessor, int id,
                                                   const SkinSection& section,
                                                   CSkinItemResources* resources)
    : CSkinWindowItemAnimation(accessor, id, ReadAnimationLook(section), resources) {
  Acquire(resources, _look.picture);
}

CSkinWindowItemDigitImage::CSkinWindowItemDigitImage(ISkinWindowItemAccessor* accessor, int id,
                                                     const SkinSection& section,
                                                     CSkinItemResources* resources)
    : CSkinWindowItemDigitImage(accessor, id, ReadDigitImageLook(section), resources) {
  Acquire(resources, _look.strip.name);
}

CSkinWindowItemStaticImage::CSkinWindowItemStaticImage(ISkinWindowItemAccessor* accessor, int id,
                                                       const SkinSection& section,
                                                       CSkinItemResources* resources)
    : CSkinWindowItemStaticImage(accessor, id, ReadStaticImageLook(section), resources) {
  Acquire(resources, _look.picture.name);
}

CSkinWindowItemOverlay::CSkinWindowItemOverlay(ISkinWindowItemAccessor* accessor, int id,
                                               const SkinSection& section,
                                               CSkinItemResources* resources)
    : CSkinWindowItemOverlay(accessor, id, ReadOverlayLook(section), resources) {
  Acquire(resources, _look.picture);
}

CSkinWindowItemResizableStaticImage::CSkinWindowItemResizableStaticImage(
    ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
    CSkinItemResources* resources)
    : CSkinWindowItemResizableStaticImage(accessor, id, ReadNineGridImageLook(section), resources) {
  Acquire(resources, _look.picture);
}

// The window's creators.

namespace {

template <typename T>
CSkinWindowItem* CreateInto(CSkinWindow* window, int id, const SkinSection& section) {
  return window->AddItem(std::make_unique<T>(window, id, section, window->GetItemResourceObject()));
}

}  // namespace

CSkinWindowItem* CSkinWindow::CreateButton(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemButton>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateToggleButton(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemToggleButton>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateStatic(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemStatic>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateStaticImage(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemStaticImage>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateDigitImage(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemDigitImage>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateResizableStaticImage(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemResizableStaticImage>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateAnimation(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemAnimation>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateOverlay(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemOverlay>(this, id, section);
}
CSkinWindowItem* CSkinWindow::CreateEditBox(int id, const SkinSection& section) {
  return CreateInto<CSkinWindowItemEditBox>(this, id, section);
}
CSkinWindowItemScrollBar* CSkinWindow::CreateScrollBar(int id, const SkinSection& section) {
  return static_cast<CSkinWindowItemScrollBar*>(
      CreateInto<CSkinWindowItemScrollBar>(this, id, section));
}
CButtonListView* CSkinWindow::CreateButtonListView(int id, const SkinSection& section,
                                                   CSkinWindowItemScrollBar* bar,
                                                   CButtonListViewListener* listener) {
  return static_cast<CButtonListView*>(AddItem(std::make_unique<CButtonListView>(
      this, id, section, GetItemResourceObject(), bar, listener)));
}

CSkinWindowItem* CreateButtonItem(const SkinDefinition& definition,
                                  const SkinItemDescriptor& descriptor, CSkinWindow* window) {
  return window->CreateButton(descriptor.id, definition.GetSection(descriptor));
}
CSkinWindowItem* CreateStaticItem(const SkinDefinition& definition,
                                  const SkinItemDescriptor& descriptor, CSkinWindow* window) {
  return window->CreateStatic(descriptor.id, definition.GetSection(descriptor));
}
CSkinWindowItem* CreateStaticImageItem(const SkinDefinition& definition,
                                       const SkinItemDescriptor& descriptor, CSkinWindow* window) {
  return window->CreateStaticImage(descriptor.id, definition.GetSection(descriptor));
}
CSkinWindowItem* CreateDigitImageItem(const SkinDefinition& definition,
                                      const SkinItemDescriptor& descriptor, CSkinWindow* window) {
  return window->CreateDigitImage(descriptor.id, definition.GetSection(descriptor));
}
CSkinWindowItem* CreateAnimationItem(const SkinDefinition& definition,
                                     const SkinItemDescriptor& descriptor, CSkinWindow* window) {
  return window->CreateAnimation(descriptor.id, definition.GetSection(descriptor));
}
CSkinWindowItem* CreateResizableStaticImageItem(const SkinDefinition& definition,
                                                const SkinItemDescriptor& descriptor,
                                                CSkinWindow* window) {
  return window->CreateResizableStaticImage(descriptor.id, definition.GetSection(descriptor));
}

}  // namespace ui
