// An item accessor with no window behind it: it records what items report
// and which rectangles they ask to have redrawn, and answers Notify from a
// table, so item state machines are tested without a window or a clock.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "SkinWindowItem.h"

namespace uitest {

class CFakeItemAccessor final : public ui::ISkinWindowItemAccessor {
 public:
  bool IsDrawable() override { return drawable; }
  void* GetItemResource(int) override { return nullptr; }
  ui::CSkinItemResources* GetItemResourceObject() override { return nullptr; }
  lib::wfc::CDIB* GetBackBuffer() override { return back_buffer; }
  void InvalidateItemRect(int left, int top, int right, int bottom, bool) override {
    redraws.push_back(RECT{left, top, right, bottom});
  }
  bool Notify(int id, int code, int) override {
    reports.emplace_back(id, code);
    const auto answer = answers.find(code);
    return answer != answers.end() && answer->second;
  }
  void Accept(int) override {}
  void Cancel(int) override {}
  bool ForwardKey(UINT, UINT) override { return false; }
  LRESULT SendMessageToWindow(UINT, WPARAM, LPARAM) override { return 0; }
  ui::CSkinWindowItem* GetCaptureItem() override { return nullptr; }
  bool IsCreated() override { return created; }
  void AddToolTip(ui::CSkinWindowItem*) override { ++tooltips; }
  bool SetRedrawLock(bool lock) override {
    const bool previous = locked;
    locked = lock;
    return previous;
  }

  // The reported codes, without the mouse-move and leave reports (14, 15)
  // unless asked for.
  std::vector<int> Codes(bool with_moves = false) const {
    std::vector<int> codes;
    for (const auto& r : reports)
      if (with_moves || (r.second != 14 && r.second != 15)) codes.push_back(r.second);
    return codes;
  }
  void Clear() {
    reports.clear();
    redraws.clear();
    tooltips = 0;
  }

  bool drawable = false;
  bool created = false;
  bool locked = false;
  lib::wfc::CDIB* back_buffer = nullptr;
  std::map<int, bool> answers;
  std::vector<std::pair<int, int>> reports;
  std::vector<RECT> redraws;
  int tooltips = 0;
};

}  // namespace uitest
