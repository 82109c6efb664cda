# Online: a 1,000-save folder read through the list job from tolvar-server
# against plain libcurl fetching the same URLs, and the XML reader against
# pugixml on a 5 MB list document; an 8 MiB save through the download job
# against libcurl writing the same file.
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
endif()
