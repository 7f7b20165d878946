# CPack: a Debian package from the Linux build, a ZIP from the Windows build
# (scripts/package.sh makes both).
set(CPACK_PACKAGE_NAME orvella)
set(CPACK_PACKAGE_VENDOR "the Orvella developers")
set(CPACK_PACKAGE_CONTACT "the Orvella developers <orvella@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Orvella-${PROJECT_VERSION}-windows-x64")
  # The files themselves at the top: they are unpacked straight into the plug-in folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "The plug-in module Orvella.rpl keeps an image folder filled with wallpapers from the Orvella art service. orvella-host loads it and drives it from the command line; a systemd user timer (orvella-sync.timer) keeps the folder in step.")
  # The libraries the programs and the module link, as dpkg-shlibdeps finds them, and
  # what the module opens at run time: XRandR for the monitor sizes.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxrandr2")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()
include(CPack)
