# Picks the folder of platform code that the build compiles: one implementation
# per operating system, each in its own folder (src/*/linux, src/*/windows). A module
# names its platform files once, as ${VELTRONA_PLATFORM}/Name.cpp, with the same file
# name in each of its platform folders.
if(WIN32)
  set(VELTRONA_PLATFORM windows)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(VELTRONA_PLATFORM linux)
else()
  message(FATAL_ERROR "No platform layer for ${CMAKE_SYSTEM_NAME}")
endif()
message(STATUS "Platform layer: ${VELTRONA_PLATFORM}")
