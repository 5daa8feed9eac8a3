// CSDInfoWindow: the SD card's information. Per kind of data (traffic,
// weather, music, map and, when the launcher asks for it, Zudov) the last
// charge, whether the charge reached the card and whether the card's data is
// up to date; the last probe upload; the unit's versions (a box); a bar of
// how the card's space is shared among the kinds. The window is created once
// and hidden; the launcher shows it with the card's drive letter, and it
// follows the card change (OVEVSDChange) while it lives. Close, OK and Enter
// hide it. It belongs to the launcher's thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KeptCardWindow.h"
#include "SkinDefinition.h"

namespace ui {

// What the window asks of the world beyond the card's files; tests and the
// launcher replace them. Each one unset takes the real way.
struct SDInfoWindowHooks {
  // Opens the probe-upload history modally over `owner` for a unit's device
  // number. The launcher connects the probe-log window here; unset, the
  // button does nothing.
  std::function<void(HWND owner, const std::string& device_no)> open_probe_log;
  // The total capacity of a drive's root ("E:\"); false when the system
  // cannot say (the error in *error).
  std::function<bool(const std::string& root, uint64_t* capacity, DWORD* error)> card_capacity;
  // The total size of the files under a folder.
  std::function<uint64_t(const std::string& folder)> folder_size;
};

namespace sdinfo {

// The rows of the window in the order of their items.
enum Row { kTidewheel = 0, kWeather, kMusic, kMap, kZudov, kRowCount };

// The coloured bars in the order they are laid out inside the blank bar.
constexpr std::array<Row, kRowCount> kBarOrder = {kMap, kTidewheel, kWeather, kMusic, kZudov};

// One coloured bar: where it starts and how wide it is (0: hidden).
struct BarSpan {
  int left = 0;
  int width = 0;
};

// The bars' places inside the blank bar [left, left + width): each group's
// share is size * 100 / capacity percent (at least 1 when the group is not
// empty) of the blank bar's width, the groups one after the other in
// kBarOrder, cut at the blank bar's right edge. A capacity of 0 (unknown)
// shares the bar by the groups' own total instead. Indexed by Row.
std::array<BarSpan, kRowCount> LayOutBars(const std::array<uint64_t, kRowCount>& sizes,
                                          uint64_t capacity, int left, int width);

// The card folders measured for a row, behind the drive letter and colon.
const std::vector<std::string>& RowFolders(Row row);

}  // namespace sdinfo

class CSDInfoWindow final : public CKeptCardWindow {
 public:
  static const SkinItemDescriptor kBase, kApplicationIcon, kTitleStatic, kCloseButton, kOKButton,
      kLastChargeTextStatic, kChargeStatusTextStatic, kSDChargeStatusTextStatic,
      kLastUploadTextStatic, kFrameProbe, kIconProbe, kTextProbe, kLastChargeProbe, kButtonProbe,
      kButtonDiruInfo, kSizeBarBlank, kTotalSizeTextStatic, kFrameOverlay;
  // The seven items of a row, in item order.
  struct RowItems {
    SkinItemDescriptor frame, icon, text, sample, last_charge, charge_status, sd_status;
  };
  static const RowItems kRows[sdinfo::kRowCount];
  static const SkinItemDescriptor kSizeBars[sdinfo::kRowCount];

  static constexpr const char kNoDate[] = "----/--/-- --：--";
  static constexpr const char kNoStatus[] = "--";

  // zudov_row: whether the Zudov row, its bar and its folder exist.
  explicit CSDInfoWindow(bool zudov_row, SDInfoWindowHooks hooks = {});
  ~CSDInfoWindow() override;

  // Loads the skin and creates the window hidden, owned by the launcher.
  // Throws CSkinWindowException or bad_alloc.
  void Create(HWND owner);
  // Refreshes everything for the card of that drive (0: none) and shows the
  // window.
  void Show(char drive);
  // The refresh of Show, without showing.
  void Refresh();

  const std::string& DeviceNo() const { return _device_no; }
  bool HasZudovRow() const { return _zudov_row; }

  // What an item shows, for the launcher's tests and this window's own.
  std::string ItemText(int id);
  // The text of the versions box, empty when the unit information file
  // cannot be read.
  std::string VersionText() const;

 protected:
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnAcceptOrCancel(int id, bool accept) override;
  void CreateItems(const SkinDefinition& definition) override;
  void OnCardChange(char drive) override;

 private:
  void SetItemText(const SkinItemDescriptor& item, const std::string& text);
  void RefreshRows();
  void RefreshSizeBar();
  void RefreshProbe();
  void OpenProbeLog();
  void ShowVersions();

  bool _zudov_row;
  SDInfoWindowHooks _hooks;
  std::string _device_no;
};

}  // namespace ui
