# Searching from the address box against "GO" with an address, to the request
# reaching a local server; and a declared page's load with the encoding check
# against without it. Needs an X server: xvfb-run -a build/bench/search_bench [ROUNDS]
pkg_check_modules(SEARCH_BENCH_SOUP QUIET IMPORTED_TARGET libsoup-3.0)
if(SEARCH_BENCH_SOUP_FOUND)
  add_executable(search_bench ${CMAKE_CURRENT_SOURCE_DIR}/search_bench.cpp)
  target_link_libraries(search_bench PRIVATE tavorin_app PkgConfig::WEBKIT PkgConfig::SEARCH_BENCH_SOUP)
endif()
