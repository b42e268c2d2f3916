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
# (symbolic links: both programs resolve their real folder), the application icon under
# /usr/share/icons/hicolor, the systemd unit zarvo-server.service, not enabled, the manual
# pages veltronactl(1) and veltrona-administration(1) and bash completion for veltronactl.
#
# Who may write where. Root runs the programs of that folder (the server, and veltronactl
# from a service), so the folder and everything in it belong to root, mode 0755, and nobody
# else may change them. The settings that the members of the group "veltrona-admin" change
# live apart: /etc/veltrona (root:veltrona-admin 2770) holds Server.INI (0660) and the
# small files the tool writes beside it, and the program folder's Server.INI is a symbolic
# link to /etc/veltrona/Server.INI, shipped in the package so that dpkg replaces and removes
# it with the programs. The server itself runs as the system account zarvo, which owns
# /var/lib/zarvo (images/, database/) and may read Server.INI through an access list.
# postinst creates the group, the account, /var/lib/zarvo, the start lock and a Server.INI
# pointing to /var/lib/zarvo when there is none; preinst moves the settings file an earlier
# package kept in the program folder to /etc/veltrona and moves whatever else another
# account made there aside, unfollowed; postrm removes /etc/veltrona on purge only, never
# /var/lib/zarvo nor the account.

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
set(VELTRONA_SETTINGS_FILE /etc/veltrona/Server.INI)
set(settings_link ${CMAKE_CURRENT_BINARY_DIR}/packaging/Server.INI)
file(CREATE_LINK ${VELTRONA_SETTINGS_FILE} ${settings_link} SYMBOLIC)
install(FILES ${settings_link}
  DESTINATION .
  COMPONENT system
  EXCLUDE_FROM_ALL)
# The systemd unit that runs the server unattended (veltronactl run), shipped disabled.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/zarvo-server.service
  DESTINATION /lib/systemd/system
  COMPONENT system
  EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${VELTRONA_PACKAGE_NAME}.desktop
  DESTINATION /usr/share/applications
  COMPONENT system
  EXCLUDE_FROM_ALL)
# The application icon of the desktop entry (Icon=veltrona-administration), in every size
# that packaging/icons/make-icons.sh makes from the drawing, and the drawing itself.
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/icons/png/${size}/${VELTRONA_PACKAGE_NAME}.png
    DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps
    COMPONENT system
    EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/icons/${VELTRONA_PACKAGE_NAME}.svg
  DESTINATION /usr/share/icons/hicolor/scalable/apps
  COMPONENT system
  EXCLUDE_FROM_ALL)

# What Debian asks of every package: the copyright notice and the changelog in
# /usr/share/doc/<package>, lintian's override for the program folder in /opt and its reason,
# the manual pages of the two programs in /usr/bin, and bash completion for veltronactl.
# veltronactl(1) is made at build time by help2man from veltronactl's own --help and
# --version, with packaging/debian/veltronactl.h2m for what the help does not say;
# veltrona-administration(1), for a window that takes no options, is written by hand.
set(package_files ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(doc_folder /usr/share/doc/${VELTRONA_PACKAGE_NAME})
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog.in
  ${package_files}/changelog @ONLY)
find_program(VELTRONA_HELP2MAN help2man)
find_program(VELTRONA_GZIP gzip REQUIRED)
set(man_pages ${package_files}/veltrona-administration.1.gz)
add_custom_command(OUTPUT ${package_files}/changelog.gz ${package_files}/veltrona-administration.1.gz
  COMMAND ${VELTRONA_GZIP} -9nf -k changelog
  COMMAND ${CMAKE_COMMAND} -E copy
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/veltrona-administration.1 .
  COMMAND ${VELTRONA_GZIP} -9nf veltrona-administration.1
  DEPENDS ${package_files}/changelog
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/veltrona-administration.1
  WORKING_DIRECTORY ${package_files}
  VERBATIM)
if(VELTRONA_HELP2MAN)
  add_custom_command(OUTPUT ${package_files}/veltronactl.1.gz
    COMMAND ${VELTRONA_HELP2MAN} --no-info
      --include ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/veltronactl.h2m
      --output veltronactl.1 $<TARGET_FILE:VeltronaCtl>
    COMMAND ${VELTRONA_GZIP} -9nf veltronactl.1
    DEPENDS VeltronaCtl ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/veltronactl.h2m
    WORKING_DIRECTORY ${package_files}
    VERBATIM)
  list(APPEND man_pages ${package_files}/veltronactl.1.gz)
else()
  message(WARNING "help2man not found (scripts/packages.sh installs it): "
    "the package is built without veltronactl(1)")
endif()
add_custom_target(veltrona_package_documents ALL DEPENDS ${package_files}/changelog.gz ${man_pages})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/copyright ${package_files}/changelog.gz
  DESTINATION ${doc_folder}
  COMPONENT system
  EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/lintian-overrides
  DESTINATION /usr/share/lintian/overrides
  RENAME ${VELTRONA_PACKAGE_NAME}
  COMPONENT system
  EXCLUDE_FROM_ALL)
install(FILES ${man_pages}
  DESTINATION /usr/share/man/man1
  COMPONENT system
  EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/veltronactl.bash-completion
  DESTINATION /usr/share/bash-completion/completions
  RENAME veltronactl
  COMPONENT system
  EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VELTRONA_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltrona")
set(CPACK_PACKAGE_CONTACT "Veltrona Administration maintainers <admin@veltrona.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings, start and stop of the Zarvo DICOM storage server")
# Lines of at most 80 characters, as control files want them.
set(CPACK_PACKAGE_DESCRIPTION
  "A small window that edits the settings file of the Zarvo DICOM storage\n"
  "server beside it, starts and stops the server and shows whether it runs,\n"
  "and its command-line companion veltronactl for scripts and service\n"
  "managers. Installs the program folder /opt/veltrona-administration with\n"
  "the tool and the server side by side, writable by root only. The settings\n"
  "live in /etc/veltrona/Server.INI, which members of the group\n"
  "veltrona-admin may change. The server runs as the system account zarvo\n"
  "and keeps its images and database in /var/lib/zarvo.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${VELTRONA_PACKAGE_FOLDER})
# Whatever the umask of the user who runs cpack: folders root may write only.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# One package with every component, the system integration included.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL program system)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries (the X11 platform plug-in ships with libqt6gui6) and the C++ runtime come
# from dpkg-shlibdeps; addgroup and adduser for the postinst's group and account from adduser,
# setfacl for zarvo's read access to the settings from acl. deb-systemd-helper and
# deb-systemd-invoke come with init-system-helpers, which every Debian system has.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, acl")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/preinst
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/prerm
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
