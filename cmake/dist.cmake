# `make dist`: the disk as one archive for listeners, in ${CMAKE_BINARY_DIR}/dist.
# The name is the disk's (the window's title); the version is the project's.
set(DISK_NAME Vellumbra)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_target(dist
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make-dist
    --program $<TARGET_FILE:diskplayer> --disk ${DISK_DIR}
    --name ${DISK_NAME} --version ${PROJECT_VERSION}
    --source ${CMAKE_SOURCE_DIR} --out ${CMAKE_BINARY_DIR}/dist
    --static ${DLIB_ARCHIVE}
  DEPENDS disk
  COMMENT "Packing the disk for listeners"
  VERBATIM)
