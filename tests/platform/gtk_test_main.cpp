// GoogleTest main for tests that need GTK: the toolkit is started only when
// tests run, so listing them needs no display.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>

// The system libraries are built without frame pointers: only the slow
// unwinder sees whose allocation a leak is.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

// Caches that the system libraries keep until exit, never our code's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libjavascriptcoregtk-4.1.so\n"
         "leak:_dl_init\n";
}

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
