# The skinned widgets, headless: a full repaint of the scroll bar (composed
# from its eleven pictures in a back buffer) and of an activity bar (two
# pictures split at the fill), each against a window of the same size that
# paints one picture with one copy.
add_executable(bench_widgets ${CMAKE_CURRENT_LIST_DIR}/WidgetsBench.cpp)
target_link_libraries(bench_widgets PRIVATE tolvar_widgets benchmark::benchmark)
