// The pages of the window's 23 shortcut buttons: what each opens, and the
// name it goes by among the address box's suggestions.
#pragma once

#include <string_view>

struct ShortcutPage {
  const char* button;  // the button's control name
  const char* title;   // its caption as a name, without the spacing that lays it out
  const char* url;
};

extern const ShortcutPage kShortcutPages[23];

// The address the button named `button` opens; empty for no such button.
const char* ShortcutAddress(std::string_view button);
