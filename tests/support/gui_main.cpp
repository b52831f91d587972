#include "tests/support/gui_test.h"

TAVORIN_GUI_TEST_MAIN()
