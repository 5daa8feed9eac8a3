// The button list view's arithmetic: fitting columns to the width, the
// limits a dragged column edge keeps to, scrolling codes, whole visible rows
// and the drag threshold. Plain functions, so the view's rules are tested
// without a window.
#pragma once

#include <vector>

namespace ui {

struct ListColumnWidth {
  int width = 0;
  // The user cannot resize it and fitting leaves it alone.
  bool fixed = false;
};

// Widens narrow columns to the minimum, then takes any excess from the
// resizable columns (first to last when the first column takes the slack,
// else last to first), each down to the minimum; with room to spare and the
// slack flag, the first column takes the rest. A negative room counts as 0.
void FitListColumns(std::vector<ListColumnWidth>* columns, int available, int gap, int min_width,
                    bool first_takes_slack);

// A column edge clamped to lowest..highest; on an item too narrow for both
// bounds the lower one wins.
int ClampColumnEdge(int x, int lowest, int highest);

// The first row after a scrolling code (only its low 16 bits count): 0 and
// 1 a row, 2 and 3 a page, 4 and 5 the given position, 6 the top, 7 the
// bottom; any other code keeps the current row. Clamped to 0..maximum.
int ListScrollTarget(int code, int position, int current, int page, int maximum);

// Rows that fit whole below the header; none for a row height below 1.
int WholeVisibleRows(int height, int header_height, int row_height);

// True once the pointer is farther than `min_distance` from the press.
bool PastDragThreshold(int dx, int dy, int min_distance);

}  // namespace ui
