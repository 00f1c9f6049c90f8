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

include(GoogleTest)

# One test executable per room. PLUGIN: the test loads the built plug-in file, whose path it finds in
# TOVRIN_PLUGIN. OWN_MAIN: the test brings its main().
#
# ctest lists each test case of a native build on its own, named <executable>.<Suite>.<Test>, so that
# `ctest -R <executable>` still selects a whole room. The executable's own test (which tests/<room> may
# give further properties) stays as the carrier of those properties: once the room's folder is read, its
# cases take them over and it is disabled. Under Wine, where every process start is costly, the
# executable runs whole.
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
    if(CMAKE_CROSSCOMPILING)
        # Wine may end a process that faulted with exit code 0, so a run passes only when GoogleTest's own
        # summary says so and nothing failed or faulted.
        set_tests_properties(${name} PROPERTIES
            PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
            FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\];Unhandled exception;Unhandled page fault")
    else()
        cmake_language(EVAL CODE "cmake_language(DEFER CALL _tovrin_discover_tests [[${name}]])")
    endif()
endfunction()

function(_tovrin_discover_tests name)
    gtest_discover_tests(${name} TEST_PREFIX "${name}." TEST_LIST ${name}_CASES
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} DISCOVERY_MODE PRE_TEST)
    # The environment is a list, which the discovery cannot hand on as one property: a script of our own
    # gives it to the cases once ctest knows them.
    get_test_property(${name} ENVIRONMENT environment)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
    file(GENERATE OUTPUT ${script} CONTENT
        "if(${name}_CASES)\n  set_tests_properties(\${${name}_CASES} PROPERTIES ENVIRONMENT [==[${environment}]==])\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
    set_tests_properties(${name} PROPERTIES DISABLED TRUE)
endfunction()
