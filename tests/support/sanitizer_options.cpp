// Sanitizer settings for every test binary that starts the toolkit.

// The system libraries are built without frame pointers: only the slow
// unwinder sees whose allocation a leak is.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

// Caches that the system libraries keep until exit, never our code's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libjavascriptcoregtk-4.1.so\n"
         "leak:libatk-bridge-2.0.so\n"
         "leak:libsecret-1.so\n"
         "leak:g_content_type_guess\n"  // GIO's MIME tables, read once
         "leak:_dl_init\n";
}
