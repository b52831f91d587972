// The address box shows the connection of the page at its start: a lock for
// a secure page, a warning mark for one that is not ("保護されていない通信");
// a click on the mark opens the page information.
#pragma once

class TFormHTML;

void ShowSecurityInAddressBox(TFormHTML& form);
