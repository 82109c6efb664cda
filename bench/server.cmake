# Server: the list document of a 50,000-save folder from tolvar-server against
# a bare scan of the same folder.
if(TARGET tolvar_server_core AND TARGET tolvar_bench_database)
    add_executable(bench_server_list ${CMAKE_CURRENT_LIST_DIR}/ServerListBench.cpp)
    target_link_libraries(bench_server_list PRIVATE tolvar_bench_database PkgConfig::BENCH_CURL
                          benchmark::benchmark)
endif()
