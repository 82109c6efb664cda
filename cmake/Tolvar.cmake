# Helpers shared by every folder's CMakeLists.txt.
#
# tolvar_library(NAME DIR [DEPS...]) makes a static library from the .cpp
# files directly in DIR (and in DIR's listed SUBDIRS), so adding a source file
# needs no CMake edit. A folder with no sources yet becomes an INTERFACE
# library, so dependants link it all the same.

function(tolvar_library name)
    cmake_parse_arguments(ARG "" "" "SUBDIRS;DEPS;PRIVATE_DEPS" ${ARGN})
    set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(sub IN LISTS ARG_SUBDIRS)
        list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS ${globs})
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# tolvar_test(NAME SOURCES... LIBS libs...) adds a GoogleTest executable and
# registers its cases with CTest. LABELS marks tests that need Xvfb or root
# (one label: gtest_discover_tests splits a list). THREADS marks tests that
# start threads; the ThreadSanitizer build (scripts/tsan.sh) builds them
# through the target tolvar_threads_tests.
function(tolvar_test name)
    cmake_parse_arguments(ARG "THREADS" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tolvar_test_support GTest::gtest_main GTest::gmock)
    set(props "")
    if(ARG_LABELS)
        set(props PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    if(ARG_THREADS)
        set_property(GLOBAL APPEND PROPERTY TOLVAR_THREADS_TESTS ${name})
    endif()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         DISCOVERY_TIMEOUT 60 ${props})
endfunction()
