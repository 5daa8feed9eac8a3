// The frame of every application window: over a resizable skinned window it
// loads the window's skin with the Base font handed down, keeps a dimming
// overlay over the whole client, and obeys its own registered message:
// wParam 0 shows (lParam != 0) or hides the overlay, 1 hides the window,
// 2 shows it again when 1 hid it.
#pragma once

#include <string>

#include "EndSessionWaitingWindow.h"
#include "ResizableSkinWindow.h"
#include "SkinDefinition.h"
#include "SkinWindowItemStatic.h"

namespace ui {

// The process-wide table of frame windows and their own messages; entering
// a window posts it its own message with 0, 0 (overlay hidden).
void RegisterOverlayWindow(HWND window, UINT message);
void UnregisterOverlayWindow(HWND window);
// The window's own message, 0 when it is not entered.
UINT RegisteredOverlayMessage(HWND window);

// The common polymorphic base of the application windows.
class CWindowBase {
 public:
  virtual ~CWindowBase() = default;
};

namespace FrameOverlayWindowBase {

// Hiding and showing the window on its own message.
class CBaseFunc {
 public:
  virtual ~CBaseFunc() = default;

 protected:
  void Hide(HWND window);
  void Show(HWND window);
  bool HiddenByUs() const { return _hidden_by_us; }

 private:
  bool _hidden_by_us = false;
};

}  // namespace FrameOverlayWindowBase

template <typename Base>
class CFrameOverlayWindowBase : public Base, public FrameOverlayWindowBase::CBaseFunc {
 public:
  // The descriptor outlives the window (application windows keep theirs in
  // static tables).
  explicit CFrameOverlayWindowBase(const SkinItemDescriptor* overlay) : _overlay(overlay) {}

  virtual UINT GetWindowMessage() const = 0;
  // Whether a request to show the overlay is obeyed.
  virtual bool ShowsOverlay() const { return true; }

  // Throws CSkinWindowException.
  void LoadDefinition(SkinDefinition& definition, const std::string& file_name,
                      const SkinItemDescriptor& base, bool use_region) {
    this->SetUseRegion(use_region);
    definition = SkinDefinition::Load(file_name);
    InheritBaseFont(definition, base.section);
    this->LoadBase(definition.GetSection(base));
  }

  void CreateFrameOverlay(const SkinDefinition& definition) {
    CSkinWindowItem* item = this->CreateOverlay(_overlay->id, definition.GetSection(*_overlay));
    item->SetVisible(false);
    const SIZE size = this->GetLayoutSize();
    item->SetRect(0, 0, size.cx, size.cy);
    this->CLayoutManager::AddItem(_overlay->id, kAnchorNear, kAnchorNear, kAnchorFar, kAnchorFar);
    _overlay_created = true;
  }

  // A text item as the frame's windows want their texts by default: one
  // line centred both ways, antialiased. Hides the skinned window's creator.
  CSkinWindowItem* CreateStatic(int id, const SkinSection& section) {
    CSkinWindowItem* item = Base::CreateStatic(id, section);
    if (auto* text = dynamic_cast<CSkinWindowItemStatic*>(item)) {
      text->SetFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      text->SetAntialias(true);
    }
    return item;
  }

  bool OverlayCreated() const { return _overlay_created; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_CREATE && _overlay_created) {
      RegisterOverlayWindow(this->Handle(), GetWindowMessage());
    } else if (message == WM_DESTROY && _overlay_created) {
      UnregisterOverlayWindow(this->Handle());
    } else if (message == GetWindowMessage()) {
      OnOwnMessage(wparam, lparam);
    }
    return Base::WindowProc(message, wparam, lparam);
  }

 private:
  void OnOwnMessage(WPARAM wparam, LPARAM lparam) {
    switch (wparam) {
      case 0:
        if (_overlay_created && (ShowsOverlay() || lparam == 0)) {
          if (CSkinWindowItem* item = this->FindItem(_overlay->id)) item->SetVisible(lparam != 0);
        }
        break;
      case 1:
        Hide(this->Handle());
        break;
      case 2:
        Show(this->Handle());
        break;
      default:
        break;
    }
  }

  const SkinItemDescriptor* _overlay;  // not owned
  bool _overlay_created = false;
};

}  // namespace ui
