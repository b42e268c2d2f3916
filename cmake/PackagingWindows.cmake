# Installation on Windows, the installer and the ZIP (included from Packaging.cmake).
#
# As on Linux, `cmake --install` lays out exactly one program folder: the install prefix
# holds VeltronaAdmin.exe, the server ZarvoServer.exe (here the stand-in) and VeltronaCtl.exe
# side by side, since the tool looks for the server, its settings and the server profile in
# the folder of its own executable. Run in the build folder:
#   cpack -G NSIS   veltrona-administration-<version>-win64.exe, a 64-bit installer, by
#                   default into "C:\Program Files\Veltrona Administration", meant for the
#                   server's folder, with a Start-menu entry and a registered uninstaller
#   cpack -G ZIP    veltrona-administration-<version>-win64.zip, the same folder to unpack
#
# The installer is our own script, packaging/windows/NSIS.template.in: the stand-in is its
# optional "Demo server", never installed over a ZarvoServer.exe that is already there, and
# removed by the uninstaller only while it is still the file that was installed. The other
# files it installs and removes are the programs of VELTRONA_WINDOWS_PROGRAMS, one by one, so
# Server.ini and whatever else the folder holds stay, and the folder goes only when empty.
#
# Rights: the folder keeps the rights that Program Files gives (administrators write, users
# read and run). The tool's manifest asks for the highest rights its user has
# (highestAvailable): an administrator runs it elevated and can rewrite Server.ini there, a
# standard user runs it without a prompt (the ZIP copy in a folder of their own). Opening
# the folder to all users instead would let any of them replace ZarvoServer.exe or drop a
# DLL beside the tool, which an administrator would then run.
# Outside Program Files the installer gives the folder those rights itself (icacls), since a
# folder under C:\ lets every authenticated user change the files in it.

set(VELTRONA_WINDOWS_PROGRAMS ZarvoServer)
foreach(program VeltronaAdmin VeltronaCtl)
  if(TARGET ${program})
    list(APPEND VELTRONA_WINDOWS_PROGRAMS ${program})
  endif()
endforeach()
install(TARGETS ${VELTRONA_WINDOWS_PROGRAMS} RUNTIME DESTINATION .)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME veltrona-administration)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltrona")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Settings, start and stop of the Zarvo DICOM storage server")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Veltrona Administration")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Veltrona Administration")
set(CPACK_MONOLITHIC_INSTALL ON)
# Stripping stamps the programs with the time unless SOURCE_DATE_EPOCH is set; with it, the
# installer and the ZIP carry the same bytes (scripts/windows-packages.sh sets it).
set(CPACK_STRIP_FILES ON)
# The ZIP holds one folder, veltrona-administration-<version>-win64: the program folder (the
# archive generators' default).

set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)
# NSIS builds a 32-bit installer unless told otherwise; that one would find no 64-bit
# Program Files and, under a Wine prefix without 32-bit support, does not run at all.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Veltrona Administration")
set(CPACK_NSIS_DISPLAY_NAME "Veltrona Administration")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_CONTACT "admin@veltrona.invalid")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/veltrona-administration.ico)
set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})

# What the installer puts into the folder and the uninstaller takes out again, one list: the
# programs but the stand-in, which is the demo server's. One line per program, that the
# installer's script expands (plain words: CPack hands the value over unescaped).
set(CPACK_VELTRONA_NSIS_PROGRAMS "")
foreach(program IN LISTS VELTRONA_WINDOWS_PROGRAMS)
  if(NOT program STREQUAL "ZarvoServer")
    string(APPEND CPACK_VELTRONA_NSIS_PROGRAMS "  !insertmacro Program ${program}.exe\n")
  endif()
endforeach()

if(TARGET VeltronaAdmin)
  # The programs lie in the install folder itself, not in a bin folder below it. The tool's
  # first icon is the application icon, shown by the uninstall entry and the shortcut.
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_INSTALLED_ICON_NAME VeltronaAdmin.exe)
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN VeltronaAdmin.exe)
  set(CPACK_NSIS_DEFINES "${CPACK_NSIS_DEFINES}\n!define VELTRONA_NSIS_TOOL VeltronaAdmin.exe")
else()
  set(CPACK_NSIS_INSTALLED_ICON_NAME ZarvoServer.exe)
endif()

include(CPack)
