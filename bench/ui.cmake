# The window system: a full repaint of a 700 x 494 skinned window from its
# bitmaps against one plain copy of the frame, presenting it on X11 (Xvfb)
# with MIT-SHM against plain XPutImage, and the CPU an idle window with a
# 200 ms timer uses against a loop that polls every millisecond.
add_executable(bench_ui ${CMAKE_CURRENT_LIST_DIR}/UiBench.cpp
               ${PROJECT_SOURCE_DIR}/tests/support/XvfbServer.cpp)
target_link_libraries(bench_ui PRIVATE tolvar_ui PkgConfig::TOLVAR_X11 benchmark::benchmark)
