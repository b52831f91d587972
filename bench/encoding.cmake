# How often pages that declare no encoding are read right, on a corpus of real
# text (bench/encoding_corpus.py), and a declared page's cost. Needs an X
# server: bench/encoding.sh runs both.
pkg_check_modules(ENCODING_BENCH_SOUP QUIET IMPORTED_TARGET libsoup-3.0)
if(ENCODING_BENCH_SOUP_FOUND)
  add_executable(encoding_bench ${CMAKE_CURRENT_SOURCE_DIR}/encoding_bench.cpp)
  target_link_libraries(encoding_bench PRIVATE tavorin_app PkgConfig::WEBKIT PkgConfig::ENCODING_BENCH_SOUP)
endif()
