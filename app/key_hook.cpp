#include <array>

#include "app/form_html.h"
#include "keys/sndkey32.h"

namespace {

struct Replay {
  WPARAM vk;
  const char* keys;
};

constexpr std::array<Replay, 5> kReplays{{
    {VK_RETURN, "~"},
    {VK_LEFT, "{LEFT}"},
    {VK_UP, "{UP}"},
    {VK_RIGHT, "{RIGHT}"},
    {VK_DOWN, "{DOWN}"},
}};

}  // namespace

// Enter and the arrows are taken out of the toolkit's processing and played
// again, so they reach whatever has the focus (the page, usually) without the
// toolkit's own key handling (focus moves) seeing them first.
void TFormHTML::ApplicationMessage(const MSG& Msg, bool& Handled) {
  if (Msg.message != WM_KEYDOWN) return;
  for (const Replay& r : kReplays) {
    if (r.vk != Msg.wParam) continue;
    SendKeys(r.keys, true);
    Handled = true;
    return;
  }
}
