# Host build: the artwork and executable-inspection tools, and the native unit
# tests of everything that makes no platform call.
include(cmake/googletest.cmake)
add_compile_options(-Wall -Wextra)

add_library(clockmath STATIC ${CLOCK_PORTABLE_SOURCES})
target_include_directories(clockmath PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/res)

add_subdirectory(tools)
add_subdirectory(tests/host)
