# Installation on Linux and the Debian package (included from Packaging.cmake).
#
# The tool finds the server, its settings and the server profile in the folder of its own
# executable, so `cmake --install` lays out exactly one program folder: the install prefix
# itself holds VeltronaAdmin, VeltronaCtl and ZarvoServer.exe side by side.
#   cmake --install build --prefix /opt/veltrona-administration
#
# The package (cpack -G DEB, run in the build folder) installs that folder as
# /opt/veltrona-administration, plus a desktop entry and the launcher
# /usr/bin/veltrona-administration and the command-line companion /usr/bin/veltronactl
# (symbolic links: both programs resolve their real folder).
# Its postinst makes the program folder group-writable for "veltrona-admin", since the tool
# writes Server.ini there at every close; its postrm deletes that file on purge only.

if(NOT VELTRONA_BUILD_GUI OR NOT VELTRONA_PLATFORM STREQUAL "linux")
  return()
endif()

set(VELTRONA_PACKAGE_NAME veltrona-administration)
set(VELTRONA_PACKAGE_FOLDER /opt/${VELTRONA_PACKAGE_NAME})

install(TARGETS VeltronaAdmin VeltronaCtl ZarvoServer
  RUNTIME DESTINATION .
  COMPONENT program)

# Only the package puts files outside the program folder; a plain `cmake --install` leaves
# the system's menus and /usr/bin alone.
set(launcher ${CMAKE_CURRENT_BINARY_DIR}/packaging/${VELTRONA_PACKAGE_NAME})
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(CREATE_LINK ${VELTRONA_PACKAGE_FOLDER}/VeltronaAdmin ${launcher} SYMBOLIC)
set(ctl_launcher ${CMAKE_CURRENT_BINARY_DIR}/packaging/veltronactl)
file(CREATE_LINK ${VELTRONA_PACKAGE_FOLDER}/VeltronaCtl ${ctl_launcher} SYMBOLIC)
install(FILES ${launcher} ${ctl_launcher}
  DESTINATION /usr/bin
  COMPONENT system
  EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${VELTRONA_PACKAGE_NAME}.desktop
  DESTINATION /usr/share/applications
  COMPONENT system
  EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VELTRONA_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltrona")
set(CPACK_PACKAGE_CONTACT "Veltrona Administration maintainers <admin@veltrona.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings, start and stop of the Zarvo DICOM storage server")
set(CPACK_PACKAGE_DESCRIPTION
  "A small window that edits the settings file of the Zarvo DICOM storage server beside it,\n"
  "starts and stops the server and shows whether it runs, and its command-line companion\n"
  "veltronactl for scripts and service managers. Installs the program folder\n"
  "/opt/veltrona-administration with the tool and the server side by side. Members of the\n"
  "group veltrona-admin may write the settings there.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${VELTRONA_PACKAGE_FOLDER})

# One package with every component, the system integration included.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL program system)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries (the X11 platform plug-in ships with libqt6gui6) and the C++ runtime come
# from dpkg-shlibdeps; groupadd for the postinst from passwd.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
