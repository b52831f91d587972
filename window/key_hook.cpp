#include <array>
#include <set>
#include <utility>

#include "keys/sndkey32.h"
#include "window/form_html.h"

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

const Replay* ReplayOf(WPARAM vk) {
  for (const Replay& r : kReplays) {
    if (r.vk == vk) return &r;
  }
  return nullptr;
}

// A physical key: its virtual key and whether it is the extended one (the
// dedicated arrows, not the keypad's).
using Key = std::pair<WPARAM, bool>;

Key KeyOf(const MSG& msg) { return {msg.wParam, ((msg.lParam >> 24) & 1) != 0}; }

// The keys whose typed key-down was played again and whose typed key-up has
// not come yet. Shared by every window, as the hook is.
std::set<Key>& ReplayedKeys() {
  static std::set<Key> keys;
  return keys;
}

}  // namespace

// Enter and the arrows are taken out of the toolkit's processing and played
// again, so they reach whatever has the focus (the page, usually) without the
// toolkit's own key handling (focus moves) seeing them first. The play is a
// whole press and release, so the typed key-up is kept from the focus too:
// a page sees one key-up per press.
void TFormHTML::ApplicationMessage(const MSG& Msg, bool& Handled) {
  if (Msg.message == WM_KEYUP || Msg.message == WM_SYSKEYUP) {
    // A key-up whose key-down went elsewhere (to an input method) passes.
    Handled = ReplayedKeys().erase(KeyOf(Msg)) != 0;
    return;
  }
  if (Msg.message != WM_KEYDOWN) return;
  const Replay* replay = ReplayOf(Msg.wParam);
  if (replay == nullptr) return;
  // Noted first: what the play opens (a modal dialog) may take the key-up.
  ReplayedKeys().insert(KeyOf(Msg));
  SendKeys(replay->keys, true);
  Handled = true;
}
