# The rooms of the effect and the one direction of their dependencies. A room compiles with its own
# headers and those of the rooms it names (and theirs) on the include path, nothing else: each gets an
# include folder in the build tree that holds a link to its source folder alone, passed on through
# target_link_libraries. An include that reaches a room not named fails to compile.

# Makes `folder` (a top-level folder of the source tree, e.g. "kernels") visible, as "folder/...", to
# `target` and, with PUBLIC or INTERFACE, to whatever links it.
function(tovrin_expose_folder target folder scope)
    set(dir ${CMAKE_BINARY_DIR}/rooms/${target})
    file(MAKE_DIRECTORY ${dir})
    if(NOT EXISTS ${dir}/${folder})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} ${scope} ${dir})
endfunction()

# tovrin_effect_room(<target> [DEPENDS <rooms>...]): the object library of the current folder's sources.
function(tovrin_effect_room target)
    cmake_parse_arguments(R "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${target} OBJECT ${sources})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    string(REGEX REPLACE "/.*" "" folder "${folder}")
    tovrin_expose_folder(${target} ${folder} PUBLIC)
    target_link_libraries(${target} PUBLIC tovrin_options ${R_DEPENDS})
    # Every function with external linkage is declared in a header (a source includes its own first), so a
    # signature that drifts from its declaration fails to compile instead of linking to nothing or
    # overloading silently.
    target_compile_options(${target} PRIVATE -Wmissing-declarations)
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# A test that the rule holds: a source of kernels/ that includes a header of render/ must not compile.
function(tovrin_add_back_edge_check)
    add_library(tovrin_back_edge OBJECT EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/cmake/BackEdge.cpp)
    set_target_properties(tovrin_back_edge PROPERTIES INCLUDE_DIRECTORIES "")
    target_link_libraries(tovrin_back_edge PRIVATE tovrin_kernels)
    add_test(NAME room_dependencies_run_one_way
             COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target tovrin_back_edge)
    set_tests_properties(room_dependencies_run_one_way PROPERTIES
        PASS_REGULAR_EXPRESSION "render/RenderDriver.h: No such file or directory")
endfunction()
