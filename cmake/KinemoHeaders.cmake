# Each target exports only its own headers.
#
# At the end of the configuration every target of the project gets an include
# directory of its own in the build tree, build/include/<target>/, holding
# links to the headers listed among its sources under their path in the source
# tree ("platform/serial_port.h", "driver/interface_driver.h", ...). Libraries
# export it (PUBLIC, or INTERFACE for header-only ones), programs use it
# privately; a target thus sees the headers of what it links and nothing
# else.
#
# This holds with KINEMO_STRICT_INCLUDES on, the default: only tests and
# benchmarks then keep the whole source tree on their include path (for test
# helpers that belong to no target), so the build refuses a header of a
# library a target does not link. Off, every target sees the whole source tree.
option(KINEMO_STRICT_INCLUDES "Let each target see only the headers of what it links" ON)

function(kinemo_export_target_headers target)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY" OR type STREQUAL "GLOBAL_TARGET")
        return()
    endif()
    get_target_property(imported ${target} IMPORTED)
    get_target_property(aliased ${target} ALIASED_TARGET)
    if(imported OR aliased)
        return()
    endif()
    get_target_property(source_dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(include_dir ${PROJECT_BINARY_DIR}/include/${target})
    set(has_headers FALSE)
    foreach(source IN LISTS sources)
        if(NOT source MATCHES "\\.h$")
            continue()
        endif()
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE
            OUTPUT_VARIABLE header)
        cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${header}" NORMALIZE inside)
        if(NOT inside)
            continue()  # generated in the build tree
        endif()
        cmake_path(RELATIVE_PATH header BASE_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE relative)
        set(link ${include_dir}/${relative})
        if(NOT IS_SYMLINK ${link})
            cmake_path(GET link PARENT_PATH link_dir)
            file(MAKE_DIRECTORY ${link_dir})
            file(CREATE_LINK ${header} ${link} SYMBOLIC)
        endif()
        set(has_headers TRUE)
    endforeach()

    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${source_dir})
    set(test_or_bench FALSE)
    if(folder MATCHES "^(tests|bench)(/|$)")
        set(test_or_bench TRUE)
    endif()

    if(type STREQUAL "INTERFACE_LIBRARY")
        set(scope INTERFACE)
    elseif(type STREQUAL "EXECUTABLE")
        set(scope PRIVATE)
    else()
        set(scope PUBLIC)
    endif()
    if(has_headers)
        target_include_directories(${target} ${scope} ${include_dir})
    endif()
    if(test_or_bench AND NOT type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    endif()
endfunction()

function(kinemo_export_headers_in directory)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        kinemo_export_target_headers(${target})
    endforeach()
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        kinemo_export_headers_in(${subdirectory})
    endforeach()
endfunction()

function(kinemo_export_headers)
    kinemo_export_headers_in(${PROJECT_SOURCE_DIR})
endfunction()

if(KINEMO_STRICT_INCLUDES)
    cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kinemo_export_headers)
else()
    target_include_directories(kinemo_options INTERFACE ${PROJECT_SOURCE_DIR})
endif()
