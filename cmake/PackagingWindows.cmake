# Installation on Windows, the installer and the ZIP (included from Packaging.cmake).
#
# As on Linux, `cmake --install` lays out exactly one program folder: the install prefix
# holds VeltronaAdmin.exe, the server ZarvoServer.exe (here the stand-in) and VeltronaCtl.exe
# side by side, since the tool looks for the server, its settings and the server profile in
# the folder of its own executable. Run in the build folder:
#   cpack -G NSIS   veltrona-administration-<version>-win64.exe, a 64-bit installer into
#                   "C:\Program Files\Veltrona Administration" with a Start-menu entry and a
#                   registered uninstaller
#   cpack -G ZIP    veltrona-administration-<version>-win64.zip, the same folder to unpack
#
# Rights: the folder keeps the rights that Program Files gives (administrators write, users
# read and run). The tool asks for elevation in its manifest (requireAdministrator), so the
# administrator who starts it can rewrite Server.ini there. Opening the folder to all users
# instead would let any of them replace ZarvoServer.exe or drop a DLL beside the tool, which
# an administrator would then run.
#
# The uninstaller deletes the files it installed, one by one, and the folder only when it is
# empty: Server.ini, which the tool writes at every close, stays with the administrator's
# settings, and a later install finds it again.

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

# NSIS builds a 32-bit installer unless told otherwise; that one would find no 64-bit
# Program Files and, under a Wine prefix without 32-bit support, does not run at all.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Veltrona Administration")
set(CPACK_NSIS_DISPLAY_NAME "Veltrona Administration")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
# An older version is uninstalled first (silently, so its Server.ini stays for the new one).
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_CONTACT "admin@veltrona.invalid")

if(TARGET VeltronaAdmin)
  # The programs lie in the install folder itself, not in a bin folder below it.
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_INSTALLED_ICON_NAME VeltronaAdmin.exe)
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN VeltronaAdmin.exe)
  set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\Veltrona Administration.lnk' '$INSTDIR\\VeltronaAdmin.exe'")
  set(CPACK_NSIS_DELETE_ICONS_EXTRA
    "  Delete '$SMPROGRAMS\\$MUI_TEMP\\Veltrona Administration.lnk'")
endif()

include(CPack)
