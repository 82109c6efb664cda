# The program on a high-density screen (GDK_SCALE=2) against itself on a
# normal one, in the same run: start-up to the first frame, and idle CPU.
if(TARGET tolvar AND TARGET tolvar_net_test_support)
    add_executable(bench_hidpi ${CMAKE_CURRENT_LIST_DIR}/HiDpiBench.cpp
                   ${PROJECT_SOURCE_DIR}/tests/support/XvfbServer.cpp
                   ${PROJECT_SOURCE_DIR}/tests/support/DisplayProcess.cpp)
    target_link_libraries(bench_hidpi PRIVATE tolvar_resources tolvar_gfx
                          tolvar_net_test_support PkgConfig::TOLVAR_X11 benchmark::benchmark)
    target_include_directories(bench_hidpi PRIVATE ${PROJECT_SOURCE_DIR})
    add_dependencies(bench_hidpi tolvar tolvar-server)
    target_compile_definitions(bench_hidpi PRIVATE TOLVAR_APP="$<TARGET_FILE:tolvar>")
endif()
