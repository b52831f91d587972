# The way to a page: a load through redirects with the trail kept, against
# the same load in a view without it, in one process.
# Needs a display: xvfb-run -a build/bench/trail_bench [LOADS]
pkg_check_modules(TRAIL_BENCH_SOUP QUIET IMPORTED_TARGET libsoup-3.0)
if(TRAIL_BENCH_SOUP_FOUND)
  add_executable(trail_bench ${CMAKE_CURRENT_SOURCE_DIR}/trail_bench.cpp)
  target_link_libraries(trail_bench PRIVATE tavorin_app PkgConfig::WEBKIT PkgConfig::TRAIL_BENCH_SOUP)
endif()
