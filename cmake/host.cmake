# Host build: the artwork and executable-inspection tools, and the native unit
# tests of everything that makes no platform call.
include(cmake/googletest.cmake)
add_compile_options(-Wall -Wextra)

add_subdirectory(tools)
add_subdirectory(tests/host)
