#include "ButtonListLayout.h"

#include <algorithm>
#include <cstdint>

namespace ui {

void FitListColumns(std::vector<ListColumnWidth>* columns, int available, int gap, int min_width,
                    bool first_takes_slack) {
  if (!columns || columns->empty()) return;
  available = std::max(available, 0);
  int64_t total = 0;
  for (ListColumnWidth& column : *columns) {
    if (!column.fixed && column.width < min_width) column.width = min_width;
    total += column.width;
  }
  total += static_cast<int64_t>(columns->size() - 1) * gap;
  if (total > available) {
    int64_t excess = total - available;
    const size_t count = columns->size();
    for (size_t k = 0; k < count && excess > 0; ++k) {
      ListColumnWidth& column = (*columns)[first_takes_slack ? k : count - 1 - k];
      if (column.fixed || column.width <= min_width) continue;
      const int64_t taken = std::min<int64_t>(excess, column.width - min_width);
      column.width -= static_cast<int>(taken);
      excess -= taken;
    }
  } else if (first_takes_slack) {
    columns->front().width += static_cast<int>(available - total);
  }
}

int ClampColumnEdge(int x, int lowest, int highest) {
  if (highest < lowest) return lowest;
  return std::clamp(x, lowest, highest);
}

int ListScrollTarget(int code, int position, int current, int page, int maximum) {
  maximum = std::max(maximum, 0);
  int64_t target = current;
  switch (code & 0xFFFF) {
    case 0:
      target = static_cast<int64_t>(current) - 1;
      break;
    case 1:
      target = static_cast<int64_t>(current) + 1;
      break;
    case 2:
      target = static_cast<int64_t>(current) - page;
      break;
    case 3:
      target = static_cast<int64_t>(current) + page;
      break;
    case 4:
    case 5:
      target = position;
      break;
    case 6:
      target = 0;
      break;
    case 7:
      target = maximum;
      break;
    default:
      break;
  }
  return static_cast<int>(std::clamp<int64_t>(target, 0, maximum));
}

int WholeVisibleRows(int height, int header_height, int row_height) {
  if (row_height < 1) return 0;
  return std::max(height - header_height, 0) / row_height;
}

bool PastDragThreshold(int dx, int dy, int min_distance) {
  const int64_t squared = static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy;
  const int64_t limit = static_cast<int64_t>(std::max(min_distance, 0)) * std::max(min_distance, 0);
  return squared > limit;
}

}  // namespace ui
