# A private window's opening against an ordinary one's (bench/private.sh).
if(APP_BENCH_SOUP_FOUND)
  add_executable(private_bench ${CMAKE_CURRENT_SOURCE_DIR}/private_bench.cpp)
  target_link_libraries(private_bench PRIVATE tavorin_app PkgConfig::WEBKIT PkgConfig::APP_BENCH_SOUP)
endif()
