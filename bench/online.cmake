# Online: a 1,000-save folder read through the list job from tolvar-server
# against plain libcurl fetching the same URLs, and the XML reader against
# pugixml on a 5 MB list document; an 8 MiB save through the download job
# against libcurl writing the same file. What a folder of 5,000 to 50,000
# saves costs the UI thread when it opens and on Refresh, against the bare
# tree control inserting and deleting as many items.
if(TARGET tolvar_online AND TARGET tolvar_server_core)
    pkg_check_modules(BENCH_CURL REQUIRED IMPORTED_TARGET libcurl)
    pkg_check_modules(BENCH_PUGIXML REQUIRED IMPORTED_TARGET pugixml)
    # tolvar-server's database of one big folder, served in the benchmark's process.
    add_library(tolvar_bench_database STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchDatabase.cpp)
    target_link_libraries(tolvar_bench_database PUBLIC tolvar_bench_saves tolvar_server_core)
    add_executable(bench_online_fetch ${CMAKE_CURRENT_LIST_DIR}/OnlineFetchBench.cpp)
    target_link_libraries(bench_online_fetch PRIVATE tolvar_online tolvar_bench_database
                          PkgConfig::BENCH_CURL benchmark::benchmark)
    add_executable(bench_online_xml ${CMAKE_CURRENT_LIST_DIR}/OnlineXmlBench.cpp)
    target_link_libraries(bench_online_xml PRIVATE tolvar_online PkgConfig::BENCH_PUGIXML
                          benchmark::benchmark)
    add_executable(bench_online_download ${CMAKE_CURRENT_LIST_DIR}/OnlineDownloadBench.cpp)
    target_link_libraries(bench_online_download PRIVATE tolvar_online tolvar_server_core
                          PkgConfig::BENCH_CURL benchmark::benchmark)
    add_executable(bench_online_load ${CMAKE_CURRENT_LIST_DIR}/OnlineLoadBench.cpp)
    target_link_libraries(bench_online_load PRIVATE tolvar_online tolvar_bench_database
                          benchmark::benchmark)
    # Bytes per save the Online Tree holds for a folder of 50,000 saves, and its
    # peak during the list job, against the same documents kept by pugixml.
    add_executable(bench_online_memory ${CMAKE_CURRENT_LIST_DIR}/OnlineMemoryBench.cpp)
    target_link_libraries(bench_online_memory PRIVATE tolvar_online tolvar_bench_database
                          PkgConfig::BENCH_CURL PkgConfig::BENCH_PUGIXML benchmark::benchmark)
    # Input while a big folder loads: Down and Up in the Local Tree (a drive of
    # 2,000 saves) of the main window on the headless backend while the list job
    # reads a folder of 50,000 saves, against the same presses on the idle window.
    if(TARGET tolvar_app)
        add_executable(bench_responsiveness ${CMAKE_CURRENT_LIST_DIR}/ResponsivenessBench.cpp)
        target_link_libraries(bench_responsiveness PRIVATE tolvar_app tolvar_bench_database
                              benchmark::benchmark)
    endif()
endif()
# The detail documents of 1,000 saves behind a proxy adding 50 ms a round trip,
# from nginx serving the folder's export: one connection one after another
# (the peer), 16 connections side by side, and HTTP/2 streams on one.
if(TARGET tolvar_net AND TARGET tolvar_server_core AND TARGET tolvar_net_test_support)
    add_executable(bench_online_latency ${CMAKE_CURRENT_LIST_DIR}/OnlineLatencyBench.cpp)
    target_link_libraries(bench_online_latency PRIVATE tolvar_net tolvar_server_core
                          tolvar_bench_saves tolvar_net_test_support benchmark::benchmark)
endif()
