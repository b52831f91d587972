# Start-up and secondary windows of the browser, each against a reference run
# in the same script or process. Both need an X server:
#   bench/startup.sh [BUILD_DIR] [RUNS]   ours beside MiniBrowser on one local page
#   bench/windows.sh [BUILD_DIR] [RUNS]   a secondary window's load against the
#                                         main window's, and its extra memory
add_executable(startup_bench ${CMAKE_CURRENT_SOURCE_DIR}/startup_bench.cpp)
target_link_libraries(startup_bench PRIVATE tavorin_app PkgConfig::WEBKIT)

pkg_check_modules(APP_BENCH_SOUP QUIET IMPORTED_TARGET libsoup-3.0)
pkg_check_modules(APP_BENCH_XTST QUIET IMPORTED_TARGET xtst x11)
if(APP_BENCH_SOUP_FOUND AND APP_BENCH_XTST_FOUND)
  add_executable(windows_bench ${CMAKE_CURRENT_SOURCE_DIR}/windows_bench.cpp)
  target_link_libraries(windows_bench PRIVATE
    tavorin_app PkgConfig::WEBKIT PkgConfig::APP_BENCH_SOUP PkgConfig::APP_BENCH_XTST)
endif()

# The floor of start-up, and the watcher that times windows as they map.
add_executable(floor_bench ${CMAKE_CURRENT_SOURCE_DIR}/floor_bench.cpp)
target_link_libraries(floor_bench PRIVATE PkgConfig::WEBKIT)
pkg_check_modules(APP_BENCH_X11 QUIET IMPORTED_TARGET x11)
if(APP_BENCH_X11_FOUND)
  add_executable(map_watch ${CMAKE_CURRENT_SOURCE_DIR}/map_watch.cpp)
  target_link_libraries(map_watch PRIVATE PkgConfig::APP_BENCH_X11)
endif()
if(APP_BENCH_XTST_FOUND)
  add_executable(x_click ${CMAKE_CURRENT_SOURCE_DIR}/x_click.cpp)
  target_link_libraries(x_click PRIVATE PkgConfig::APP_BENCH_XTST)
endif()

# The start page painted after the window is mapped, with 100 000 history entries:
#   bench/start_page.sh [BUILD_DIR] [RUNS]
pkg_check_modules(START_PAGE_BENCH_SQLITE QUIET IMPORTED_TARGET sqlite3)
if(START_PAGE_BENCH_SQLITE_FOUND)
  add_executable(start_page_bench ${CMAKE_CURRENT_SOURCE_DIR}/start_page_bench.cpp)
  target_link_libraries(start_page_bench PRIVATE tavorin_app PkgConfig::WEBKIT
    PkgConfig::START_PAGE_BENCH_SQLITE)
endif()
