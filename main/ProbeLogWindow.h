// CProbeLogWindow ("Ostrovelle Probe"): the last probe-data uploads of the
// unit's user, read from the probe log in that user's data folder, as a
// read-only list (date and time, outcome, processing code). Modal over the
// window that opens it; follows OVEVSDChange to the new card's user. It
// belongs to the thread that runs DoModal.
#pragma once

#include <memory>
#include <string>

#include "ButtonListView.h"
#include "MainFrame.h"
#include "SkinDefinition.h"

class CProbeLogFile;

namespace ui {

class CSkinWindowItemScrollBar;

// Opens the probe log of the unit whose device number is given (drive: its
// card, 0 when unknown) over `owner` and returns when the user closed it;
// false when the window could not be made.
bool ShowProbeLogWindow(HWND owner, const std::string& device_no, char drive = 0);

class CProbeLogWindow final : public mainwin::CMainFrame,
                              public CWindowBase,
                              public CButtonListViewListener,
                              public CButtonListViewTableW {
 public:
  static const SkinItemDescriptor kBase;
  static const SkinItemDescriptor kApplicationIcon;
  static const SkinItemDescriptor kTitleStatic;
  static const SkinItemDescriptor kCloseButton;
  static const SkinItemDescriptor kOKButton;
  static const SkinItemDescriptor kBaseFrame;
  static const SkinItemDescriptor kLogListFrame;
  static const SkinItemDescriptor kLogList;
  static const SkinItemDescriptor kLogListScrollBar;
  static const SkinItemDescriptor kFrameOverlay;

  // Reads the probe log of the device number's user at once.
  explicit CProbeLogWindow(const std::string& device_no, char drive = 0);
  ~CProbeLogWindow() override;

  // Creates, shows and activates the window over its owner, runs until it
  // ends and destroys it. Throws CSkinWindowException or bad_alloc.
  void DoModal(HWND owner);
  // The first half of DoModal: the window, shown, without the loop.
  void Create(HWND owner);

  UINT GetWindowMessage() const override { return mainwin::kFrameMessage; }
  CButtonListView* List() const { return _list; }
  CSkinWindowItemScrollBar* ScrollBar() const { return _bar; }
  char Drive() const { return _drive; }
  const std::string& DeviceNo() const { return _device_no; }

  // The table of the list.
  int GetRowCount(CButtonListView* view) override;
  bool IsActiveRow(CButtonListView*, int) override { return false; }
  bool IsButtonEnabled(CButtonListView*, int, int) override { return false; }
  bool IsButtonOn(CButtonListView*, int, int) override { return false; }
  int GetButtonLabel(CButtonListView*, int, int) override { return 0; }
  std::string GetCellText(CButtonListView* view, int row, int column) override;
  COLORREF GetCellTextColor(CButtonListView* view, int row, int column) override;
  std::string GetCellToolTip(CButtonListView*, int, int) override { return std::string(); }
  int GetMinColumnWidth(CButtonListView*) override { return 138; }

  // The listener: the list is read-only.
  void OnLayoutChanged(CButtonListView*) override {}
  void OnMouseDown(CButtonListView*, int, int, int, bool) override {}
  void OnDoubleClick(CButtonListView*, int, int, int, bool) override {}
  void OnButtonClick(CButtonListView*, int, int) override {}

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  bool IsForwardedKey(UINT key, UINT flags) override;
  bool Notify(int id, int code, int value) override;
  void OnMouseWheelNotch(UINT keys, int steps, int x, int y) override;
  void OnEndSession(bool ending, LPARAM lparam) override;
  void OnDestroy() override;

 private:
  void LoadLog();
  void OnCardChange(char drive);
  void End();

  HWND _owner = nullptr;  // not owned
  volatile bool _done = false;
  const UINT _sd_change;
  char _drive = 0;
  std::string _device_no;
  std::unique_ptr<CProbeLogFile> _log;       // null while the unit has no user
  CButtonListView* _list = nullptr;          // owned by the window
  CSkinWindowItemScrollBar* _bar = nullptr;  // owned by the window
};

}  // namespace ui
