// The notices' shared items; see QuestionItems.h.
#include "QuestionItems.h"

#include "Drawer.h"
#include "SkinWindow.h"

namespace mainwin {

ui::CSkinWindowItemOverlay* CreateQuestionItems(CMainFrame* window,
                                                const ui::SkinDefinition& definition,
                                                const QuestionItems& items) {
  ui::CreateButtonItem(definition, items.application_icon, window);
  ui::CreateStaticItem(definition, items.title, window);
  ui::CreateButtonItem(definition, items.close_button, window);
  ui::CreateButtonItem(definition, items.ok_button, window);
  ui::CreateButtonItem(definition, items.cancel_button, window);
  window->CreateToggleButton(items.check_box.id, definition.GetSection(items.check_box));
  ui::CreateStaticItem(definition, items.check_box_text, window);
  ui::CreateStaticItem(definition, items.question_text, window);
  ui::CSkinWindowItemOverlay* overlay =
      CreateScreenOverlay(window, definition, items.screen_overlay);
  window->CreateFrameOverlay(definition);
  window->ui::CLayoutManager::AddItem(items.close_button.id, ui::kAnchorFar, ui::kAnchorNear,
                                      ui::kAnchorFar, ui::kAnchorNear);
  window->ui::CLayoutManager::AddItem(items.screen_overlay.id, ui::kAnchorNear, ui::kAnchorNear,
                                      ui::kAnchorFar, ui::kAnchorFar);
  return overlay;
}

}  // namespace mainwin
