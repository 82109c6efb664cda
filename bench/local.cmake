# The Local Tree: FillTree of ten drives against ScanLocation of the same
# folders alone.
if(TARGET tolvar_storage)
    add_executable(bench_local_tree ${CMAKE_CURRENT_LIST_DIR}/LocalTreeBench.cpp)
    target_link_libraries(bench_local_tree PRIVATE tolvar_storage tolvar_bench_saves
                          benchmark::benchmark)
endif()
