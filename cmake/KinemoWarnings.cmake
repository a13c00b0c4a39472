# Common compile settings for every Kinemo target.
#
# The pulse arithmetic must give the same doubles on every machine: no fused
# multiply-add contraction and never -ffast-math.
add_library(kinemo_options INTERFACE)
target_compile_options(kinemo_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -ffp-contract=off)
if(KINEMO_WERROR)
    target_compile_options(kinemo_options INTERFACE -Werror)
endif()
if(KINEMO_SANITIZE)
    target_compile_options(kinemo_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(kinemo_options INTERFACE -fsanitize=address,undefined)
endif()
# Include paths: each target's own headers (and, unless strict, the source tree).
include(${CMAKE_CURRENT_LIST_DIR}/KinemoHeaders.cmake)

# The version in one place: project(VERSION) becomes "kinemo/version.h".
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
    ${PROJECT_BINARY_DIR}/generated/kinemo/version.h @ONLY)
target_include_directories(kinemo_options INTERFACE ${PROJECT_BINARY_DIR}/generated)
