# The keystroke player's own cost against the recorder of the keyboard services.
if(benchmark_FOUND)
  add_executable(sendkeys_bench ${CMAKE_CURRENT_SOURCE_DIR}/sendkeys_bench.cpp)
  target_link_libraries(sendkeys_bench PRIVATE tavorin_keys benchmark::benchmark)
endif()
