# Installation and packages: one file per platform, chosen by the platform layer.
#   Linux:   cmake/PackagingDebian.cmake   (cmake --install, cpack -G DEB)
#   Windows: cmake/PackagingWindows.cmake  (cmake --install, cpack -G NSIS / -G ZIP)
if(VELTRONA_PLATFORM STREQUAL "linux")
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingDebian.cmake)
elseif(VELTRONA_PLATFORM STREQUAL "windows")
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingWindows.cmake)
endif()
