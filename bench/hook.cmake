# The application's key hook: a typed arrow through the hook and its replay,
# against the same key handed to the toolkit with no hook, in one process.
# Needs an X server: xvfb-run -a build/bench/hook_bench [PRESSES]
pkg_check_modules(HOOK_BENCH_XTST QUIET IMPORTED_TARGET xtst x11)
if(HOOK_BENCH_XTST_FOUND)
  add_executable(hook_bench ${CMAKE_CURRENT_SOURCE_DIR}/hook_bench.cpp)
  target_link_libraries(hook_bench PRIVATE
    tavorin_app PkgConfig::WEBKIT PkgConfig::HOOK_BENCH_XTST)
endif()
