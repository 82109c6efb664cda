# Server: the list document of a 50,000-save folder from tolvar-server against
# a bare scan of the same folder; an ordinary request while 100 slow clients
# hold connections, against the idle server.
if(TARGET tolvar_server_core AND TARGET tolvar_bench_database)
    add_executable(bench_server ${CMAKE_CURRENT_LIST_DIR}/ServerBench.cpp)
    target_link_libraries(bench_server PRIVATE tolvar_bench_database PkgConfig::BENCH_CURL
                          benchmark::benchmark)
endif()
