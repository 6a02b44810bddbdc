# The demo music of the disk. make_music synthesises the tracks from the
# scores in tools/music/tracks.cpp into ${DISK_DIR}/music; the build renders
# them again only when the synthesiser or a score changes.

add_library(music_synth STATIC
  ${CMAKE_SOURCE_DIR}/tools/music/effects.cpp
  ${CMAKE_SOURCE_DIR}/tools/music/master.cpp
  ${CMAKE_SOURCE_DIR}/tools/music/ogg.cpp
  ${CMAKE_SOURCE_DIR}/tools/music/render.cpp
  ${CMAKE_SOURCE_DIR}/tools/music/score.cpp
  ${CMAKE_SOURCE_DIR}/tools/music/tracks.cpp
  ${CMAKE_SOURCE_DIR}/tools/music/voices.cpp)
target_include_directories(music_synth PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(music_synth PUBLIC PkgConfig::VORBISENC PkgConfig::VORBISFILE m)

add_executable(make_music ${CMAKE_SOURCE_DIR}/tools/music/make_music.cpp)
target_link_libraries(make_music PRIVATE music_synth)

# These names follow from the titles in the scores ("NN - <title>.ogg"); the
# tools test checks that the folder holds exactly the tracks the scores name.
set(MUSIC_DIR ${DISK_DIR}/music)
set(MUSIC_TRACKS
  "${MUSIC_DIR}/01 - Quiet Orbit.ogg"
  "${MUSIC_DIR}/02 - Vellumbra Signal.ogg"
  "${MUSIC_DIR}/03 - First Light.ogg")
add_custom_command(
  OUTPUT ${MUSIC_TRACKS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MUSIC_DIR}
  COMMAND make_music ${MUSIC_DIR}
  DEPENDS make_music
  COMMENT "Synthesising the demo music"
  VERBATIM)
add_custom_target(music DEPENDS ${MUSIC_TRACKS})
add_dependencies(disk music)

# Tests of the synthesiser and of the rendered tracks themselves.
find_package(GTest QUIET)
file(GLOB MUSIC_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/music/*.cpp)
if(GTest_FOUND AND MUSIC_TEST_SOURCES)
  include(GoogleTest)
  add_executable(test_tools ${MUSIC_TEST_SOURCES})
  target_link_libraries(test_tools PRIVATE music_synth GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_tools PRIVATE "MUSIC_DIR=\"${MUSIC_DIR}\"")
  add_dependencies(test_tools music)
  gtest_discover_tests(test_tools
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60)
endif()
