# The tree control, headless: 10,000 items inserted with redraw off then on and
# deleted, against a plain linked tree of the same nodes; one paint of 16 rows
# against one copy of the background picture.
if(TARGET tolvar_treeview)
    add_executable(bench_treeview ${CMAKE_CURRENT_LIST_DIR}/TreeBench.cpp)
    target_link_libraries(bench_treeview PRIVATE tolvar_treeview benchmark::benchmark)
endif()
