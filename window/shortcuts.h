// The window's own keys and mouse buttons: handled before the page or the
// focused control sees them, acting on that window's browser component.
#pragma once

class TFormHTML;

void BindShortcuts(TFormHTML& form);
