# The Windows program (`make windows`): the same core cross-built with
# mingw-w64 (cmake/mingw-w64.cmake), linked statically against the
# libraries scripts/build-windows-deps builds into DISKPLAYER_WINDOWS_DEPS,
# with the data file, resource table and music of the Linux build in
# DISKPLAYER_HOST_BUILD: the same bytes on both systems.
set(DISKPLAYER_WINDOWS_DEPS "" CACHE PATH "prefix of the cross-built libraries")
set(DISKPLAYER_HOST_BUILD "" CACHE PATH "the Linux build tree (data, resource table, music)")
set(deps ${DISKPLAYER_WINDOWS_DEPS})
set(host ${DISKPLAYER_HOST_BUILD})
if(NOT EXISTS ${deps}/lib/libSDL.a OR NOT EXISTS ${host}/generated/resource_table.cpp)
  message(FATAL_ERROR "make windows sets DISKPLAYER_WINDOWS_DEPS and DISKPLAYER_HOST_BUILD")
endif()

# No build path in the program (assertions name their files), no time stamp
# in its header, no symbol table (half the exe): two builds give the
# same exe.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${host}/=)
add_link_options(-static -s -Wl,--no-insert-timestamp)

include(${CMAKE_CURRENT_LIST_DIR}/core_sources.cmake)

add_library(diskplayer_core STATIC ${CORE_SOURCES} ${host}/generated/resource_table.cpp)
target_include_directories(diskplayer_core PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(diskplayer_core SYSTEM PUBLIC ${deps}/include ${deps}/include/SDL)
# M_PI and its kin, which glibc offers without asking.
target_compile_definitions(diskplayer_core PUBLIC DLIB_NO_GUI_SUPPORT _USE_MATH_DEFINES)
target_link_directories(diskplayer_core PUBLIC ${deps}/lib)
# mingw's GCC sees an uninitialised read inside dlib's queue that is none
# (the folder listing fills it first); Debian's GCC does not warn there.
set_source_files_properties(${CMAKE_SOURCE_DIR}/audio/playlist.cpp PROPERTIES
  COMPILE_OPTIONS -Wno-maybe-uninitialized)
# SDLmain's WinMain calls main; the system libraries are SDL's (windib and
# DirectX video, waveOut and DirectSound audio).
target_link_libraries(diskplayer_core PUBLIC
  mingw32 SDLmain SDL vorbisfile vorbis ogg lodepng dlib
  user32 gdi32 winmm dxguid ws2_32 m)

# The icon (from the window's own) and the version information.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(DISK_NAME Vellumbra)
set(windows_dir ${CMAKE_SOURCE_DIR}/dist/windows)
# Debian's own Python, which has PIL (python3-pil) whatever else is on PATH.
set(debian_python /usr/bin/python3)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/vellumbra.ico
  COMMAND ${debian_python} ${windows_dir}/make-icon ${CMAKE_SOURCE_DIR}/res/icon.png
    ${CMAKE_BINARY_DIR}/vellumbra.ico
  DEPENDS ${windows_dir}/make-icon ${CMAKE_SOURCE_DIR}/res/icon.png
  VERBATIM)
string(REPLACE "." "," version_commas "${PROJECT_VERSION}.0")
configure_file(${windows_dir}/vellumbra.rc.in ${CMAKE_BINARY_DIR}/vellumbra.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/vellumbra.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/vellumbra.ico)

add_executable(vellumbra WIN32 app/main.cpp ${CMAKE_BINARY_DIR}/vellumbra.rc)
target_link_libraries(vellumbra PRIVATE diskplayer_core)
set_target_properties(vellumbra PROPERTIES OUTPUT_NAME ${DISK_NAME})

# The reference decode for the check: the same libvorbis build, straight.
add_executable(decode_reference ${CMAKE_SOURCE_DIR}/tests/support/straight_decode.c)
target_include_directories(decode_reference SYSTEM PRIVATE ${deps}/include)
target_link_directories(decode_reference PRIVATE ${deps}/lib)
target_link_libraries(decode_reference PRIVATE vorbisfile vorbis ogg)

# The check's deterministic frames: the capture tool on the same core, so a
# frame under Wine can be compared with the Linux program's, pixel for pixel.
add_executable(capture ${CMAKE_SOURCE_DIR}/tools/capture/capture.cpp)
target_link_libraries(capture PRIVATE diskplayer_core)

# The decoder guard's own test, for a console under Wine.
add_executable(guard_test ${CMAKE_SOURCE_DIR}/tests/windows/guard_test.cpp)
target_link_libraries(guard_test PRIVATE diskplayer_core)

# build/dist/vellumbra-<version>-windows-x86_64.zip
add_custom_target(windows_zip ALL
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make-windows-zip
    --program $<TARGET_FILE:vellumbra> --disk ${host}/disk --name ${DISK_NAME}
    --version ${PROJECT_VERSION} --source ${CMAKE_SOURCE_DIR} --deps ${deps}
    --out ${host}/dist
  DEPENDS vellumbra
  COMMENT "Packing the disk for Windows"
  VERBATIM)
