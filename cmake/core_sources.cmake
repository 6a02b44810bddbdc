# The sources of diskplayer_core, for every build of the program (Linux, the
# web page, Windows): one list, so no port compiles a second copy of any
# unit. The files with a main of their own stay out, and each platform
# seam takes the place of its sibling: a `_win32` unit on Windows, the
# POSIX one everywhere else.
get_filename_component(core_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  ${core_root}/app/*.cpp
  ${core_root}/gfx/*.cpp
  ${core_root}/audio/*.cpp
  ${core_root}/widgets/*.cpp
  ${core_root}/effects/*.cpp)
list(FILTER CORE_SOURCES EXCLUDE REGEX "/app/(main|web_main)\\.cpp$")
if(WIN32)
  list(FILTER CORE_SOURCES EXCLUDE REGEX "/app/event_wait\\.cpp$|/audio/decoder_guard\\.cpp$")
else()
  list(FILTER CORE_SOURCES EXCLUDE REGEX "_win32\\.cpp$")
endif()
