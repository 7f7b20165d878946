# Where an installed tree keeps each part. The module lives in a plug-in folder of its
# own under lib/, beside its HTML help; the programs in bin/ find it there through the
# relative path between the two, so the tree works under any prefix.
set(CMAKE_INSTALL_DOCDIR "share/doc/orvella" CACHE PATH "Documentation (README, licence, help)")
include(GNUInstallDirs)
set(ORVELLA_INSTALL_PLUGINDIR "${CMAKE_INSTALL_LIBDIR}/orvella" CACHE PATH
    "Folder of the plug-in module and its help, relative to the prefix")
file(RELATIVE_PATH ORVELLA_MODULE_DIR_FROM_BIN "/prefix/${CMAKE_INSTALL_BINDIR}"
     "/prefix/${ORVELLA_INSTALL_PLUGINDIR}")
