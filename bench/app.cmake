# The program: start-up to its first frame on Xvfb (reference server on
# loopback, 3 drives of 50 saves) against a plain Xlib program mapping a
# window of the same size and putting one image; idle CPU and memory with
# 1,000 local and 1,000 online saves shown, against the same Xlib program idle.
if(TARGET tolvar AND TARGET tolvar_net_test_support)
    add_executable(bench_xlib_floor ${CMAKE_CURRENT_LIST_DIR}/XlibFloor.cpp)
    target_link_libraries(bench_xlib_floor PRIVATE PkgConfig::TOLVAR_X11)
    add_executable(bench_app ${CMAKE_CURRENT_LIST_DIR}/AppBench.cpp
                   ${PROJECT_SOURCE_DIR}/tests/support/XvfbServer.cpp
                   ${PROJECT_SOURCE_DIR}/tests/support/DisplayProcess.cpp)
    target_link_libraries(bench_app PRIVATE tolvar_resources tolvar_gfx tolvar_net_test_support
                          PkgConfig::TOLVAR_X11 benchmark::benchmark)
    target_include_directories(bench_app PRIVATE ${PROJECT_SOURCE_DIR})
    add_dependencies(bench_app tolvar tolvar-server bench_xlib_floor)
    target_compile_definitions(bench_app PRIVATE TOLVAR_APP="$<TARGET_FILE:tolvar>"
                               XLIB_FLOOR="$<TARGET_FILE:bench_xlib_floor>")
endif()
