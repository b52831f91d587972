# Importing 100 000 bookmarks from an HTML file through the history window's
# dialog: the gaps between the window's frames while it runs, against the
# same window idle, in one process. Needs an X server:
#   xvfb-run -a build/bench/bookmark_import_bench [COUNT]
add_executable(bookmark_import_bench ${CMAKE_CURRENT_SOURCE_DIR}/bookmark_import_bench.cpp)
target_link_libraries(bookmark_import_bench PRIVATE tavorin_history)
