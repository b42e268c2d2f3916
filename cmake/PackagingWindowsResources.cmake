# The icon and the version information that every Windows program carries (included by the
# folders that make VeltronaAdmin.exe, VeltronaCtl.exe and ZarvoServer.exe).
#
#   veltrona_windows_program_resources(TARGET "File description")
#
# configures packaging/windows/Program.rc.in for the target, with the project's version as
# FileVersion and ProductVersion, and compiles it into the program. The application icon is
# packaging/icons/veltrona-administration.ico, made from the SVG beside it; the installer
# and its uninstall entry use the same file (cmake/PackagingWindows.cmake).
include_guard(GLOBAL)

function(veltrona_windows_program_resources target description)
  set(VELTRONA_PRODUCT_NAME "Veltrona Administration")
  set(VELTRONA_COMPANY "Veltrona")
  set(VELTRONA_COPYRIGHT "Copyright (C) 2026 Veltrona")
  set(VELTRONA_ICON_FILE ${PROJECT_SOURCE_DIR}/packaging/icons/veltrona-administration.ico)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(VELTRONA_RC_INTERNAL_NAME ${name})
  set(VELTRONA_RC_FILE_NAME ${name}.exe)
  set(VELTRONA_RC_DESCRIPTION ${description})
  # Four numbers, the last one (the tweak) 0 unless the project's version has one.
  set(tweak 0)
  if(NOT "${PROJECT_VERSION_TWEAK}" STREQUAL "")
    set(tweak ${PROJECT_VERSION_TWEAK})
  endif()
  set(VELTRONA_RC_VERSION
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${tweak}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}-program.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/Program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${VELTRONA_ICON_FILE})
  target_sources(${target} PRIVATE ${rc})
endfunction()
