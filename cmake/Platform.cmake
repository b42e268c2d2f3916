# Picks the folder of platform code that the build compiles: one implementation
# per operating system, each in its own folder (src/*/linux, src/*/windows).
if(WIN32)
  set(VELTRONA_PLATFORM windows)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(VELTRONA_PLATFORM linux)
else()
  message(FATAL_ERROR "No platform layer for ${CMAKE_SYSTEM_NAME}")
endif()
message(STATUS "Platform layer: ${VELTRONA_PLATFORM}")
