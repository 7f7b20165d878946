# cmake -DPACKAGE=NAME -DORVELLA_DEBIAN_SOURCES=DIR -P unpack_debian_source.cmake: unpacks the
# pinned source package NAME as the Windows build does, into the current folder, and prints
# "source: FOLDER" (check_debian_sources.sh drives it).
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DebianSources.cmake)
orvella_debian_source(${PACKAGE} source version)
message("source: ${source}")
