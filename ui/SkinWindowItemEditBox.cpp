// The edit box: reading its section, making and subclassing its control,
// the filters on the control's messages, and drawing the frame (and the text
// while the control is hidden).
#include "SkinWindowItemEditBox.h"

// The rich-edit messages and structures; after the Windows headers.
#include <richedit.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "DC.h"
#include "DIB.h"
#include "SkinDefinition.h"
#include "SkinItemResources.h"
#include "SkinKeySchema.h"
#include "SkinValues.h"
#include "StringUtil.h"

namespace ui {

namespace {

constexpr UINT kUnicodeCodePage = 1200;
constexpr COLORREF kReadOnlyText = RGB(0, 0, 0);
constexpr COLORREF kGreyText = RGB(0x80, 0x80, 0x80);
// Ten points, in twips.
constexpr LONG kRichTextHeight = 200;
const wchar_t kRichFaceW[] = L"ＭＳ Ｐゴシック";
const char kRichFaceA[] = "ＭＳ Ｐゴシック";

struct DropTraits {
  using Type = HDROP;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::DragFinish(h); }
};
using CDrop = CScopedHandle<DropTraits>;

// OpenClipboard / CloseClipboard.
class CClipboardHold final {
 public:
  explicit CClipboardHold(HWND owner) : _open(::OpenClipboard(owner) != FALSE) {}
  ~CClipboardHold() {
    if (_open) ::CloseClipboard();
  }
  CClipboardHold(const CClipboardHold&) = delete;
  CClipboardHold& operator=(const CClipboardHold&) = delete;
  bool IsOpen() const { return _open; }

 private:
  bool _open;
};

// GlobalLock / GlobalUnlock.
class CGlobalLock final {
 public:
  explicit CGlobalLock(HGLOBAL memory) : _memory(memory), _data(::GlobalLock(memory)) {}
  ~CGlobalLock() {
    if (_data) ::GlobalUnlock(_memory);
  }
  CGlobalLock(const CGlobalLock&) = delete;
  CGlobalLock& operator=(const CGlobalLock&) = delete;
  const void* Data() const { return _data; }

 private:
  HGLOBAL _memory;  // not owned
  void* _data;
};

// The clipboard's Unicode text; empty when it holds none.
std::wstring ClipboardText(HWND owner) {
  CClipboardHold clipboard(owner);
  if (!clipboard.IsOpen()) return std::wstring();
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  if (!data) return std::wstring();
  CGlobalLock lock(data);
  const auto* text = static_cast<const wchar_t*>(lock.Data());
  if (!text) return std::wstring();
  // The block's size bounds the text even without a terminator.
  const size_t units = ::GlobalSize(data) / sizeof(wchar_t);
  return std::wstring(text, wcsnlen(text, units));
}

NineGrid GridAt(const SkinSection& section, const char* key) {
  return NineGridFromValues(section, key, 1);
}

}  // namespace

EditBoxLook ReadEditBoxLook(const SkinSection& raw) {
  SkinSection section = raw;
  CheckSkinItemSection(section, SkinItemKind::kEditBox);
  EditBoxLook look;
  look.rect = RectFromPositionSize(section);
  look.font = LogFontFromValues(section, "Font");
  if (section.Has("Limit")) look.limit = std::max(IntFromValues(section, "Limit"), 0);
  if (section.Has("Frame")) {
    look.frame = SkinValuesAt(section, "Frame", 0, 9)[0];
    look.frame_grid = GridAt(section, "Frame");
  }
  if (section.Has("DisableFrame")) {
    look.disabled_frame = SkinValuesAt(section, "DisableFrame", 0, 9)[0];
    look.disabled_frame_grid = GridAt(section, "DisableFrame");
  }
  return look;
}

RECT EditControlRect(const RECT& item, const NineGrid* frame) {
  if (!frame) return item;
  RECT r = {item.left + (frame->x[1] - frame->x[0]), item.top + (frame->y[1] - frame->y[0]) + 1,
            item.right - (frame->x[3] - frame->x[2]), item.bottom - (frame->y[3] - frame->y[2])};
  // A frame wider than the item leaves an empty control, never a negative one.
  r.right = std::max(r.right, r.left);
  r.bottom = std::max(r.bottom, r.top);
  return r;
}

std::wstring PasswordMask(const std::wstring& text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ++i;
    ++count;
  }
  return std::wstring(count, L'*');
}

CSkinWindowItemEditBox::CSkinWindowItemEditBox(ISkinWindowItemAccessor* accessor, int id,
                                               const SkinSection& section,
                                               CSkinItemResources* resources)
    : CSkinWindowItemEditBox(accessor, id, ReadEditBoxLook(section)) {
  for (const std::string* name : {&_look.frame, &_look.disabled_frame})
    if (resources && !name->empty()) resources->Acquire(*name);
}

CSkinWindowItemEditBox::CSkinWindowItemEditBox(ISkinWindowItemAccessor* accessor, int id,
                                               EditBoxLook look)
    : CSkinWindowItem(accessor, id), _look(std::move(look)) {
  SetBounds(_look.rect.left, _look.rect.top, _look.rect.right, _look.rect.bottom);
  // The control covers the item: a tip of the window would never show.
  SetToolState(ToolState::kNone);
}

CSkinWindowItemEditBox::~CSkinWindowItemEditBox() {
  // An item replaced or deleted while its window lives takes its control
  // along; the library goes after the control.
  if (Handle() && IsWindow(Handle())) DestroyWindow();
}

// Flags

void CSkinWindowItemEditBox::SetUnicode(bool on) {
  _flags.unicode = on;
  if (on) _rich = true;
  _filter.reset();
}

void CSkinWindowItemEditBox::SetReadOnly(bool on) {
  _read_only = on;
  ApplyVisibility();
}

void CSkinWindowItemEditBox::SetPassword() {
  _flags.password = true;
  _filter.reset();
}

void CSkinWindowItemEditBox::SetImeAllowed(bool on) {
  _ime_allowed = on;
  if (Handle()) EnableIME(on);
}

void CSkinWindowItemEditBox::SetPasteFilter() {
  _flags.single_byte = true;
  _filter.reset();
}

void CSkinWindowItemEditBox::SetUpperAlphanumeric(bool on) {
  _flags.alphanumeric = on;
  _filter.reset();
}

void CSkinWindowItemEditBox::SetStripControls(bool on) { _flags.strip_controls = on; }

void CSkinWindowItemEditBox::SetMultiLine(bool on) {
  _flags.multi_line = on;
  _filter.reset();
}

// Text

void CSkinWindowItemEditBox::ReadControlText() const {
  const HWND control = Handle();
  if (!control || !IsWindow(control)) return;
  if (!_rich) {
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(control, &text[0], (int)text.size())));
    _text = text;
    _text_w = ToWide(text);
    return;
  }
  // Rich controls, narrow ones too, are read as UTF-16: a narrow read sized
  // by the character count comes back empty for double-byte text. The buffer
  // follows the control's length; should the count fall short of what
  // arrives (line ends), the buffer grows until the text fits.
  GETTEXTLENGTHEX length = {GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, kUnicodeCodePage};
  size_t capacity =
      static_cast<size_t>(std::max<LRESULT>(
          ::SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0), 0)) +
      1;
  for (;;) {
    std::vector<wchar_t> buffer(capacity, L'\0');
    GETTEXTEX get = {static_cast<DWORD>(capacity * sizeof(wchar_t)), GT_USECRLF, kUnicodeCodePage,
                     nullptr, nullptr};
    const LRESULT got = ::SendMessageW(control, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                       reinterpret_cast<LPARAM>(buffer.data()));
    const size_t n = static_cast<size_t>(std::max<LRESULT>(got, 0));
    if (n + 1 < capacity || capacity > (size_t{1} << 26)) {
      _text_w.assign(buffer.data(), std::min(n, capacity - 1));
      break;
    }
    capacity *= 2;
  }
  _text = ToMultiByte(_text_w);
}

std::string CSkinWindowItemEditBox::GetText() const {
  ReadControlText();
  return _text;
}

std::wstring CSkinWindowItemEditBox::GetTextW() const {
  ReadControlText();
  return _text_w;
}

void CSkinWindowItemEditBox::PutTextIntoControl() {
  const HWND control = Handle();
  if (!control || !IsWindow(control)) return;
  if (_rich) {
    SETTEXTEX set = {ST_DEFAULT, kUnicodeCodePage};
    ::SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set),
                   reinterpret_cast<LPARAM>(_text_w.c_str()));
  } else {
    ::SetWindowTextA(control, _text.c_str());
  }
  if (_rich) ApplyRichFormat(true);
}

void CSkinWindowItemEditBox::SetText(const std::string& text) {
  _text = text;
  _text_w = ToWide(text);
  PutTextIntoControl();
  Redraw();
}

void CSkinWindowItemEditBox::SetTextW(const std::wstring& text) {
  _text_w = text;
  _text = ToMultiByte(text);
  PutTextIntoControl();
  Redraw();
}

// The control

RECT CSkinWindowItemEditBox::ControlRect() const { return EditControlRect(Rect(), FrameGrid()); }

bool CSkinWindowItemEditBox::ControlShown() const {
  // The control's own flag: a window made hidden still shows its controls
  // once it appears, and the item must not draw the text beneath them.
  const HWND control = Handle();
  return control && IsWindow(control) && (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE);
}

void CSkinWindowItemEditBox::CreateChild(HWND parent, int x, int y) {
  _origin = POINT{x, y};
  if (Handle() && IsWindow(Handle())) return;
  CreateControl(parent);
}

void CSkinWindowItemEditBox::CreateControl(HWND parent) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL;
  if (_number) style |= ES_NUMBER;
  if (_vertical_bar) style |= WS_VSCROLL;
  if (_flags.password) style |= ES_PASSWORD;
  style |= _flags.multi_line ? (ES_MULTILINE | ES_AUTOVSCROLL) : _alignment;
  RECT r = ControlRect();
  OffsetRect(&r, _origin.x, _origin.y);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const UINT_PTR id = static_cast<UINT_PTR>(Id());
  if (_rich && !_rich_library) _rich_library.Reset(::LoadLibraryA("riched20.dll"));
  HWND control = nullptr;
  if (_flags.unicode) {
    control = lib::wfc::CreatePlainWindowW(0, L"RichEdit20W", _text_w.c_str(), style, r.left, r.top,
                                           width, height, parent, id);
    AttachWide(control);
  } else {
    control = lib::wfc::CreatePlainWindowA(0, _rich ? "RichEdit20A" : "EDIT", _text.c_str(), style,
                                           r.left, r.top, width, height, parent, id);
    Attach(control);
  }
  _filter.reset();
  _lead.reset();
  if (_rich) {
    const LRESULT options = ::SendMessageA(control, EM_GETLANGOPTIONS, 0, 0);
    ::SendMessageA(control, EM_SETLANGOPTIONS, 0, options & ~static_cast<LRESULT>(IMF_DUALFONT));
    ApplyRichFormat(false);
  }
  if (_look.limit > 0)
    ::SendMessageA(control, _rich ? EM_EXLIMITTEXT : EM_LIMITTEXT, _rich ? 0 : _look.limit,
                   _rich ? _look.limit : 0);
  EnableIME(_ime_allowed);
  if (!_font) _font.Create(_look.font);
  ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(_font.Get()), FALSE);
  ApplyVisibility();
}

void CSkinWindowItemEditBox::ApplyRichFormat(bool all) {
  const HWND control = Handle();
  if (!control) return;
  const WPARAM scope = all ? SCF_ALL : SCF_DEFAULT;
  if (_flags.unicode) {
    CHARFORMATW format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_CHARSET | CFM_FACE;
    format.yHeight = kRichTextHeight;
    format.crTextColor = RGB(0, 0, 0);
    format.bCharSet = SHIFTJIS_CHARSET;
    wcsncpy(format.szFaceName, kRichFaceW, LF_FACESIZE - 1);
    ::SendMessageW(control, EM_SETCHARFORMAT, scope, reinterpret_cast<LPARAM>(&format));
    return;
  }
  CHARFORMATA format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_SIZE | CFM_COLOR | CFM_CHARSET | CFM_FACE;
  format.yHeight = kRichTextHeight;
  format.crTextColor = RGB(0, 0, 0);
  format.bCharSet = SHIFTJIS_CHARSET;
  lstrcpynA(format.szFaceName, kRichFaceA, LF_FACESIZE);
  ::SendMessageA(control, EM_SETCHARFORMAT, scope, reinterpret_cast<LPARAM>(&format));
}

void CSkinWindowItemEditBox::ApplyVisibility() {
  const HWND control = Handle();
  if (!control || !IsWindow(control)) return;
  ::SendMessageA(control, EM_SETREADONLY, _read_only, 0);
  ::EnableWindow(control, Enabled());
  const bool shown = _rich ? IsVisible() : IsVisible() && Enabled() && !_read_only;
  ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
  Redraw();
}

void CSkinWindowItemEditBox::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right, bottom);
  if (Handle() && IsWindow(Handle())) {
    RECT r = ControlRect();
    OffsetRect(&r, _origin.x, _origin.y);
    MoveWindow(r);
  }
  Redraw();
}

void CSkinWindowItemEditBox::OnSetFocus() {
  if (Handle() && IsWindow(Handle()) && ::GetFocus() != Handle()) ::SetFocus(Handle());
}

INT_PTR CSkinWindowItemEditBox::OnNotify(int code, INT_PTR value, INT_PTR extra) {
  if ((code == WM_HSCROLL || code == WM_VSCROLL) && Handle())
    return ::SendMessageA(Handle(), static_cast<UINT>(code), static_cast<WPARAM>(value),
                          static_cast<LPARAM>(extra));
  return CSkinWindowItem::OnNotify(code, value, extra);
}

// Drawing

void CSkinWindowItemEditBox::Draw() {
  if (!IsVisible() || !Accessor()) return;
  lib::wfc::CDIB* back = Accessor()->GetBackBuffer();
  if (!back || !*back) return;
  if (!_look.frame.empty()) {
    const bool disabled_look = !Enabled() && !_look.disabled_frame.empty();
    const std::string& name = disabled_look ? _look.disabled_frame : _look.frame;
    const NineGrid& grid = disabled_look ? _look.disabled_frame_grid : _look.frame_grid;
    CItemPicture source(name);
    if (source.Get())
      DrawNineGrid(*back, *source.Get(), Rect(), nullptr, grid, 255, lib::wfc::kMagenta);
  }
  if (ControlShown()) {
    ::InvalidateRect(Handle(), nullptr, TRUE);
    return;
  }
  ReadControlText();
  const std::wstring shown = _flags.password ? PasswordMask(_text_w) : _text_w;
  if (shown.empty()) return;
  const RECT clip = back->Clip();
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  if (!_font) _font.Create(_look.font);
  lib::wfc::CMemDC dc;
  lib::wfc::CDCStateSaver saver(dc);
  saver.SelectObject(0, _font.Get());
  saver.SelectObject(1, back->Get());
  saver.SetBkMode(TRANSPARENT);
  saver.SetTextColor(_read_only ? kReadOnlyText : kGreyText);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  RECT r = ControlRect();
  // Ampersands are text here, as they are in the control.
  const UINT format = _alignment | DT_NOPREFIX | (_flags.multi_line ? 0 : DT_SINGLELINE);
  dc.DrawTextW(shown.c_str(), &r, format);
  SelectClipRgn(dc, nullptr);
  GdiFlush();
}

// Messages of the control

LRESULT CSkinWindowItemEditBox::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PASTE && PasteIsFiltered(_flags)) {
    PasteFiltered();
    return 0;
  }
  return CWindow::WindowProc(message, wparam, lparam);
}

void CSkinWindowItemEditBox::PasteFiltered() {
  // A pasted Ctrl+V character pastes again: once is enough.
  if (_pasting || _read_only) return;
  _pasting = true;
  const std::wstring text = FilterPastedText(_flags, ClipboardText(Handle()));
  for (const UINT ch : PastedCharacters(_flags, text)) {
    if (_flags.unicode)
      ::SendMessageW(Handle(), WM_CHAR, ch, 1);
    else
      ::SendMessageA(Handle(), WM_CHAR, ch, 1);
  }
  _pasting = false;
}

void CSkinWindowItemEditBox::OnDestroy() {
  ReadControlText();
  Default();
}

void CSkinWindowItemEditBox::OnKeyDown(UINT key, UINT flags) {
  if (Accessor() && Accessor()->ForwardKey(key, flags)) return;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    case VK_TAB:
      MoveFocusToSibling(shift);
      return;
    case VK_RETURN:
      if (Accessor()) Accessor()->Accept(Id());
      break;
    case VK_ESCAPE:
      if (Accessor()) Accessor()->Cancel(Id());
      break;
    case 'A':
      if (control && !shift) {
        ::SendMessageA(Handle(), EM_SETSEL, 0, -1);
        return;
      }
      break;
    case 'V':
    case VK_INSERT:
      // A rich control pastes these keys itself, past the paste filter.
      if (_rich && ((key == 'V' && control) || (key == VK_INSERT && shift && !control))) {
        ::SendMessageA(Handle(), WM_PASTE, 0, 0);
        return;
      }
      break;
    default:
      break;
  }
  Default();
}

void CSkinWindowItemEditBox::MoveFocusToSibling(bool backwards) {
  const HWND self = Handle();
  const HWND parent = ::GetParent(self);
  int siblings = 0;
  for (HWND h = ::GetWindow(parent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) ++siblings;
  // Bounded by the sibling count: with no other tab stop the walk ends.
  HWND h = self;
  for (int i = 0; i < siblings; ++i) {
    h = ::GetWindow(h, backwards ? GW_HWNDPREV : GW_HWNDNEXT);
    if (!h) h = ::GetWindow(self, backwards ? GW_HWNDLAST : GW_HWNDFIRST);
    if (!h || h == self) return;
    const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    if ((style & WS_TABSTOP) && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) {
      ::SetFocus(h);
      return;
    }
  }
}

void CSkinWindowItemEditBox::OnChar(UINT ch, UINT flags) {
  if (!_filter) _filter.emplace(_flags);
  const std::optional<UINT> passed = _filter->Filter(ch);
  if (!passed) return;
  PassCharacter(*passed, flags);
  if (_rich) ApplyRichFormat(true);
}

void CSkinWindowItemEditBox::PassCharacter(UINT ch, UINT flags) {
  if (!_flags.unicode) {
    if (_lead) {
      const char pair[3] = {static_cast<char>(*_lead), static_cast<char>(ch), '\0'};
      _lead.reset();
      InsertDoubleByte(pair);
      return;
    }
    if (ch < 0x100 && IsDBCSLeadByteEx(932, static_cast<BYTE>(ch))) {
      _lead = static_cast<BYTE>(ch);
      return;
    }
  }
  // Wine's rich control starts a new line on the Return key only, not on
  // the character; a line break typed or pasted goes in as a replacement.
  if (_rich && _flags.multi_line && (ch == '\r' || ch == '\n')) {
    if (_read_only) return;
    if (_flags.unicode)
      CallPreviousProc(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\r"));
    else
      CallPreviousProc(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("\r"));
    return;
  }
  CallPreviousProc(WM_CHAR, ch, flags);
}

// Wine widens the character message of a narrow control byte by byte, so a
// double-byte character typed as two messages (or as one holding both bytes)
// arrives as two wrong ones. The pair goes in as a replaced selection
// instead, held to the rules the control keeps for typed characters.
void CSkinWindowItemEditBox::InsertDoubleByte(const char* pair) {
  if (_read_only || _number) return;
  if (_rich && _look.limit > 0) {
    GETTEXTLENGTHEX length = {GTL_PRECISE | GTL_NUMCHARS, kUnicodeCodePage};
    const LRESULT now =
        ::SendMessageW(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    CHARRANGE selection = {0, 0};
    ::SendMessageA(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    if (now - (selection.cpMax - selection.cpMin) + 1 > _look.limit) return;
  }
  CallPreviousProc(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pair));
}

void CSkinWindowItemEditBox::OnDropFiles(HDROP raw) {
  const CDrop drop(raw);
  if (::DragQueryFileW(drop.Get(), 0xFFFFFFFF, nullptr, 0) == 0) return;
  // The name's own length: a long path is taken whole, never cut.
  const UINT length = ::DragQueryFileW(drop.Get(), 0, nullptr, 0);
  std::wstring name(static_cast<size_t>(length) + 1, L'\0');
  name.resize(::DragQueryFileW(drop.Get(), 0, &name[0], length + 1));
  if (_flags.unicode)
    SetTextW(name);
  else
    SetText(ToMultiByte(name));
}

}  // namespace ui
