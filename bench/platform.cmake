# Delivery of played keys through the GTK-backed services against the same
# key events handed straight to GTK. Runs under an X server (xvfb-run -a).
if(benchmark_FOUND)
  pkg_check_modules(BENCH_XTST REQUIRED IMPORTED_TARGET xtst x11)
  add_executable(keys_delivery_bench ${CMAKE_CURRENT_SOURCE_DIR}/keys_delivery_bench.cpp)
  target_link_libraries(keys_delivery_bench PRIVATE
    tavorin_platform tavorin_keys PkgConfig::BENCH_XTST benchmark::benchmark)
endif()
