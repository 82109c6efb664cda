# Folders of sealed saves, for every benchmark that needs saves on disk.
add_library(tolvar_bench_saves STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchSaves.cpp)
target_include_directories(tolvar_bench_saves PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tolvar_bench_saves PUBLIC tolvar_saveformat)
# Save storage: the save CRC against zlib's crc32, and a folder scan against
# reading the same files whole with read(2).
find_package(ZLIB REQUIRED)
add_executable(bench_storage_crc ${CMAKE_CURRENT_LIST_DIR}/StorageCrcBench.cpp)
target_link_libraries(bench_storage_crc PRIVATE tolvar_saveformat ZLIB::ZLIB benchmark::benchmark)
add_executable(bench_storage_scan ${CMAKE_CURRENT_LIST_DIR}/StorageScanBench.cpp)
target_link_libraries(bench_storage_scan PRIVATE tolvar_storage tolvar_bench_saves
                      benchmark::benchmark)
# The Trash location's listing against a drive folder's scan of the same saves.
add_executable(bench_trash_scan ${CMAKE_CURRENT_LIST_DIR}/TrashScanBench.cpp)
target_link_libraries(bench_trash_scan PRIVATE tolvar_storage tolvar_bench_saves
                      benchmark::benchmark)
