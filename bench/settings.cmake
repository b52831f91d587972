# The settings window opened, against the history window in the same run.
# Needs an X server: xvfb-run -a build/bench/settings_bench [ROUNDS]
add_executable(settings_bench ${CMAKE_CURRENT_SOURCE_DIR}/settings_bench.cpp)
target_link_libraries(settings_bench PRIVATE tavorin_app PkgConfig::WEBKIT)
