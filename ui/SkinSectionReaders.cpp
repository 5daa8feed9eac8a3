// Reading the window's and items' skin sections.
#include "SkinWindow.h"

namespace ui {

void CSkinWindow::LoadBase(const SkinSection&) {}

}  // namespace ui
