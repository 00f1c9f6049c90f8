# Linux uses Debian's prebuilt GoogleTest; the mingw build compiles it from Debian's sources.
if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Debian's googletest sources already define these aliases; older ones do not.
    if(NOT TARGET GTest::gtest)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
        add_library(GTest::gmock ALIAS gmock)
    endif()
else()
    find_package(GTest REQUIRED)
endif()

# One test executable per room; ctest runs it whole (under Wine in the Windows build). PLUGIN: the test
# loads the built plug-in file, whose path it finds in TOVRIN_PLUGIN. OWN_MAIN: the test brings its main().
function(tovrin_add_test name)
    cmake_parse_arguments(T "PLUGIN;OWN_MAIN" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE tovrin_options GTest::gtest GTest::gmock Threads::Threads ${T_LIBS})
    if(NOT T_OWN_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    # The tool runs its host strictly under test, as the tests' own hosts do.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "TOVRIN_PLUGIN=$<TARGET_FILE:Tovrin>;WINEDEBUG=-all;TOVRIN_DIALOG_INPUT=${CMAKE_BINARY_DIR}/no-dialog-input;TOVRIN_HOST_STRICT=1")
    if(T_PLUGIN)
        # Tests that load the plug-in file as a host does.
        add_dependencies(${name} Tovrin)
    endif()
endfunction()
