#include "EndSessionWaitingWindow.h"

namespace ui {

void InheritBaseFont(SkinDefinition& definition, const std::string& base_section) {
  if (!definition.HasSection(base_section)) return;
  const SkinSection& base = definition.Section(base_section);
  if (!base.Has("Font")) return;
  const SkinValues font = base.GetValues("Font");
  for (auto& entry : definition.Sections()) {
    if (entry.first == base_section) continue;
    SkinSection& section = entry.second;
    if (!section.Has("Font")) {
      section.Set("Font", font);
      continue;
    }
    SkinValues& own = section.Values("Font");
    for (size_t i = 0; i < own.size() && i < font.size(); ++i)
      if (own[i].empty()) own[i] = font[i];
  }
}

void PumpUntilDestroyed(HWND window) {
  bool quit = false;
  WPARAM exit_code = 0;
  while (::IsWindow(window)) {
    MSG msg;
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      quit = true;
      exit_code = msg.wParam;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(exit_code));
}

}  // namespace ui
