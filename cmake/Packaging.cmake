# CPack: two Debian packages from the Linux build (orvella, orvella-artd), a ZIP from the
# Windows build (scripts/package.sh makes them all).
set(CPACK_PACKAGE_NAME orvella)
set(CPACK_PACKAGE_VENDOR "the Orvella developers")
set(CPACK_PACKAGE_CONTACT "Orvella developers <orvella@example.org>")
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
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL orvella artd)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_ARTD_PACKAGE_SOURCE orvella)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Each package's description begins with its own synopsis: CPack puts a summary before it
# unless the summary is the one it takes for none at all.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEBIAN_ORVELLA_PACKAGE_NAME orvella)
set(CPACK_DEBIAN_ARTD_PACKAGE_NAME orvella-artd)
set(CPACK_DEBIAN_ORVELLA_DESCRIPTION "wallpaper plug-in that keeps a folder filled from an art service
The plug-in module Orvella.rpl keeps an image folder filled with desktop
wallpapers and wallpaper clocks from the Orvella art service, at the size of
the largest monitor: it downloads what the configured feeds offer and the
folder lacks, and removes what they no longer offer.

orvella-host loads the module and drives it from the command line: it sets up
the folder, the feeds and the sign-in without a display, and runs one sync or
the plug-in's worker. A systemd user timer keeps the folder in step hourly
during a graphical session.")
set(CPACK_DEBIAN_ARTD_DESCRIPTION "local stand-in of the Orvella art service for tests and demos
orvella-artd serves the art service's version 3 interface on a local address:
accounts, an art catalog, and pictures rendered at the size a client asks for.
The Orvella plug-in's tests and demonstrations run against it; it is of no use
for keeping a wallpaper folder in step.")
# The Depends come from dpkg-shlibdeps over the programs and the module, run by
# DebianDepends.cmake when cpack starts. CPack's own run would also add ldconfig calls for
# the module, which is no library of the linker's path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
# What the module opens at run time: XRandR for the monitor sizes.
set(ORVELLA_DEB_RUNTIME_DEPENDS_orvella "libxrandr2")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/CPackDebianDepends.cmake CONTENT "
set(ORVELLA_DEB_FILES_orvella \"$<TARGET_FILE:orvella-host>;$<TARGET_FILE:Orvella>\")
set(ORVELLA_DEB_FILES_artd \"$<TARGET_FILE:orvella-artd>\")
set(ORVELLA_DEB_RUNTIME_DEPENDS_orvella \"${ORVELLA_DEB_RUNTIME_DEPENDS_orvella}\")
set(ORVELLA_DEB_WORK \"${CMAKE_BINARY_DIR}/shlibdeps\")
include(\"${CMAKE_SOURCE_DIR}/cmake/DebianDepends.cmake\")
")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDebianDepends.cmake)
include(CPack)
