// GoogleTest main for tests that need GTK: the toolkit is started only when
// tests run, so listing them needs no display.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(list_tests)) {
    // Keys must reach widgets as typed, not through a desktop input method.
    g_setenv("GTK_IM_MODULE", "gtk-im-context-simple", TRUE);
    g_setenv("NO_AT_BRIDGE", "1", TRUE);
    if (!gtk_init_check(&argc, &argv)) {
      fprintf(stderr, "no X display: run under xvfb-run -a\n");
      return 1;
    }
    Gtk::Main::init_gtkmm_internals();
    g_object_set(gtk_settings_get_default(), "gtk-error-bell", FALSE, nullptr);
  }
  return RUN_ALL_TESTS();
}
