# The clock for Windows, and under wine64 its tests.
enable_language(RC)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The clock's own code: small and free of the C++ runtime's heavier parts.
if(MSVC)
    set(CLOCK_COMPILE_OPTIONS /W4 /O1 /GR- /EHs-c- /D_CRT_SECURE_NO_WARNINGS)
    set(CLOCK_LINK_OPTIONS /OPT:REF /OPT:ICF)
    set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded")
else()
    # The C runtime's own printf is enough for the clock's few texts; MinGW's
    # replacement would add some 25 KB.
    set(CLOCK_COMPILE_OPTIONS
        -Wall -Wextra -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-math-errno
        -ffunction-sections -fdata-sections -D__USE_MINGW_ANSI_STDIO=0)
    # Static, so that the program needs nothing but the system's own DLLs.
    # No time stamp in the PE header: two builds of one commit are then the
    # same bytes, checksum included.
    set(CLOCK_LINK_OPTIONS -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
endif()

add_library(clockcore STATIC
    ${CLOCK_PORTABLE_SOURCES}
    app/startup.cpp
    app/version_notice.cpp
    face/needle_mask.cpp
    face/paint_face.cpp
    face/update_hands.cpp
    face/window_shape.cpp
    ui/accessible.cpp
    ui/clock_window.cpp
    ui/tray.cpp)
target_compile_options(clockcore PRIVATE ${CLOCK_COMPILE_OPTIONS})
configure_file(res/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
target_include_directories(clockcore PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/res
                                            ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(clockcore PUBLIC user32 gdi32 shell32)

set(CLOCK_RESOURCE_SCRIPT ${PROJECT_SOURCE_DIR}/res/deskclock.rc)
set_source_files_properties(${CLOCK_RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/res/resource.h;${PROJECT_SOURCE_DIR}/res/deskclock.manifest;${CMAKE_BINARY_DIR}/generated/version.h;${PROJECT_SOURCE_DIR}/res/skin.bmp;${PROJECT_SOURCE_DIR}/res/minute.bmp;${PROJECT_SOURCE_DIR}/res/hour.bmp;${PROJECT_SOURCE_DIR}/res/clock.ico")

add_executable(deskclock WIN32 app/main.cpp ${CLOCK_RESOURCE_SCRIPT})
target_compile_options(deskclock PRIVATE ${CLOCK_COMPILE_OPTIONS})
target_link_libraries(deskclock PRIVATE clockcore)
target_link_options(deskclock PRIVATE ${CLOCK_LINK_OPTIONS})

if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(wine_tests_default ON)
else()
    set(wine_tests_default OFF)
endif()
option(DESKCLOCK_WINE_TESTS "Build the tests that run under wine64" ${wine_tests_default})
if(DESKCLOCK_WINE_TESTS)
    add_subdirectory(tests/win)
endif()

# For the pictures: a press on the tray icon, handed to the icon's window.
add_executable(tray_press tools/tray_press.cpp)
target_compile_options(tray_press PRIVATE -Wall -Wextra)
target_link_options(tray_press PRIVATE -static)

add_subdirectory(bench)
