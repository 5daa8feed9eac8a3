// The edit box item: a real EDIT or rich-edit control inside a skin frame.
// The item subclasses its control, so typed characters, keys, pastes and
// dropped files pass the box's filters before the control sees them. The
// item, its control and the rich-edit library it holds belong to the thread
// of the owning window.
#pragma once

#include <optional>
#include <string>

#include "EditBoxFilter.h"
#include "GdiObject.h"
#include "Handle.h"
#include "NineGrid.h"
#include "SkinWindowItem.h"
#include "Window.h"

namespace ui {

class SkinSection;
class CSkinItemResources;

// Everything an edit box reads from its skin section.
struct EditBoxLook {
  RECT rect = {0, 0, 0, 0};
  LOGFONTA font{};
  int limit = 0;  // 0: the control's own default
  std::string frame;
  NineGrid frame_grid;
  std::string disabled_frame;
  NineGrid disabled_frame_grid;
};

// Reads and tests an edit box's section; throws CSkinWindowException.
EditBoxLook ReadEditBoxLook(const SkinSection& section);

// Where the control sits in the item: inside the frame's edges, one pixel
// lower at the top, when there is a frame.
RECT EditControlRect(const RECT& item, const NineGrid* frame);

// The characters a password is drawn with: one '*' per character, a
// surrogate pair counting once.
std::wstring PasswordMask(const std::wstring& text);

// Frees a library taken with LoadLibrary.
struct LibraryTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::FreeLibrary(h); }
};
using CLibrary = CScopedHandle<LibraryTraits>;

class CSkinWindowItemEditBox final : public CSkinWindowItem,
                                     public CResizableDIBHelper,
                                     public lib::wfc::CWindow {
 public:
  CSkinWindowItemEditBox(ISkinWindowItemAccessor* accessor, int id, const SkinSection& section,
                         CSkinItemResources* resources);
  CSkinWindowItemEditBox(ISkinWindowItemAccessor* accessor, int id, EditBoxLook look);
  ~CSkinWindowItemEditBox() override;

  // Item operations.
  INT_PTR OnNotify(int code, INT_PTR value, INT_PTR extra) override;
  void CreateChild(HWND parent, int x, int y) override;
  void OnSetFocus() override;
  void Draw() override;
  void SetRect(int left, int top, int right, int bottom) override;
  void OnEnabledChanged() override { ApplyVisibility(); }
  void OnVisibleChanged() override { ApplyVisibility(); }
  // Both bases: the pointer leaving the item or the control changes nothing.
  void OnMouseLeave() override {}
  // The control's text (read into the kept copy). An edit box has no tip.
  std::string GetText() const override;

  std::wstring GetTextW() const;
  void SetText(const std::string& text);
  void SetTextW(const std::wstring& text);

  // Style flags count when the control is made; read-only and the enabled
  // state are applied again whenever visibility is.
  void SetRichEdit(bool on) { _rich = on; }
  // A wide rich control; implies the rich one.
  void SetUnicode(bool on);
  void SetReadOnly(bool on);
  void SetNumber(bool on) { _number = on; }
  void SetPassword();
  void SetImeAllowed(bool on);
  // Single bytes only, typed or pasted.
  void SetPasteFilter();
  void SetUpperAlphanumeric(bool on);
  void SetStripControls(bool on);
  void SetMultiLine(bool on);
  void SetVerticalScrollBar(bool on) { _vertical_bar = on; }
  // ES_LEFT, ES_CENTER or ES_RIGHT; they equal the DT_ values drawn with.
  void SetAlignment(DWORD es_bits) { _alignment = es_bits & (ES_CENTER | ES_RIGHT); }

  bool IsRichEdit() const { return _rich; }
  bool IsUnicode() const { return _flags.unicode; }
  bool IsReadOnly() const { return _read_only; }
  bool IsPassword() const { return _flags.password; }
  bool IsSingleByte() const { return _flags.single_byte; }
  bool IsImeAllowed() const { return _ime_allowed; }
  const EditFilterFlags& FilterFlags() const { return _flags; }
  const EditBoxLook& Look() const { return _look; }
  // The control's rectangle in the window's client coordinates.
  RECT ControlRect() const;
  // Whether the control is on screen; when not, the item draws the text.
  bool ControlShown() const;

 protected:
  // Window operations of the control.
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnDestroy() override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnChar(UINT ch, UINT flags) override;
  void OnDropFiles(HDROP drop) override;

 private:
  using lib::wfc::CWindow::OnNotify;
  using lib::wfc::CWindow::OnSetFocus;

  void CreateControl(HWND parent);
  void ApplyRichFormat(bool all);
  void ApplyVisibility();
  void ReadControlText() const;
  void PutTextIntoControl();
  void PasteFiltered();
  void MoveFocusToSibling(bool backwards);
  void PassCharacter(UINT ch, UINT flags);
  void InsertDoubleByte(const char* pair);
  const NineGrid* FrameGrid() const { return _look.frame.empty() ? nullptr : &_look.frame_grid; }

  EditBoxLook _look;
  lib::wfc::CFont _font;
  CLibrary _rich_library;
  POINT _origin = {0, 0};
  // The kept copies; refreshed from the control whenever it is read.
  mutable std::string _text;
  mutable std::wstring _text_w;
  EditFilterFlags _flags;
  std::optional<CEditCharFilter> _filter;
  bool _rich = false;
  bool _read_only = false;
  bool _number = false;
  bool _ime_allowed = true;
  bool _vertical_bar = false;
  bool _pasting = false;
  DWORD _alignment = ES_LEFT;
  // A lead byte typed into a narrow control, waiting for its trail byte.
  std::optional<BYTE> _lead;
};

}  // namespace ui
