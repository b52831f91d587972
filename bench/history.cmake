# The history with 100 000 entries: the address box's list from a key to its
# redraw, against the same keys with an empty history; and a page's load from
# "GO" with recording on, against recording off. One process each, under an
# X server:  xvfb-run -a build/bench/history_bench [keys|load] [COUNT]
pkg_check_modules(HISTORY_BENCH_DEPS QUIET IMPORTED_TARGET xtst x11 libsoup-3.0 sqlite3)
if(HISTORY_BENCH_DEPS_FOUND)
  add_executable(history_bench ${CMAKE_CURRENT_SOURCE_DIR}/history_bench.cpp)
  target_link_libraries(history_bench PRIVATE
    tavorin_app PkgConfig::WEBKIT PkgConfig::HISTORY_BENCH_DEPS)
endif()
