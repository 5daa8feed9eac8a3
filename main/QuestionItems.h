// The items of the main program's yes/no notices that slide out of the
// launcher (the update notice, the information-charge question): the same
// skin sections under each window's own ids.
#pragma once

#include "MainFrame.h"

namespace ui {
class CSkinWindowItemOverlay;
class SkinDefinition;
struct SkinItemDescriptor;
}  // namespace ui

namespace mainwin {

struct QuestionItems {
  const ui::SkinItemDescriptor& application_icon;
  const ui::SkinItemDescriptor& title;
  const ui::SkinItemDescriptor& close_button;
  const ui::SkinItemDescriptor& ok_button;
  const ui::SkinItemDescriptor& cancel_button;
  const ui::SkinItemDescriptor& check_box;
  const ui::SkinItemDescriptor& check_box_text;
  const ui::SkinItemDescriptor& question_text;
  const ui::SkinItemDescriptor& screen_overlay;
};

// Creates the items on `window` in the skin's order, the frame overlay
// last, keeps the close button at the top right and the screen overlay over
// the whole window when it is resized, and returns the screen overlay
// (owned by the window). Throws CSkinWindowException.
ui::CSkinWindowItemOverlay* CreateQuestionItems(CMainFrame* window,
                                                const ui::SkinDefinition& definition,
                                                const QuestionItems& items);

}  // namespace mainwin
