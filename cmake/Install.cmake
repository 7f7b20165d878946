# What `cmake --install` puts where (the packages are made from the same rules).
if(WIN32)
  # The Windows ZIP: what goes into the wallpaper program's plug-in folder, and how.
  install(TARGETS Orvella LIBRARY DESTINATION . RUNTIME DESTINATION .)
  if(TARGET orvella_help)
    install(FILES ${ORVELLA_BIN_DIR}/Orvella.chm DESTINATION .)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/INSTALL-windows.txt DESTINATION . RENAME INSTALL.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  # The libraries linked into the module ask that a binary carries their notices: JsonCpp
  # and xxHash (built from Debian's sources), and the toolchain's runtime, whose thread
  # library and start-up code are linked in statically (Debian's description of its
  # licences). libstdc++ and libgcc come under GCC's runtime exception, which asks none.
  find_file(ORVELLA_MINGW_RUNTIME_NOTICE copyright
    PATHS /usr/share/doc/mingw-w64-x86-64-dev NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  foreach(notice JsonCpp:ORVELLA_JSONCPP_NOTICE xxHash:ORVELLA_XXHASH_NOTICE
                 mingw-w64:ORVELLA_MINGW_RUNTIME_NOTICE)
    string(REPLACE ":" ";" notice "${notice}")
    list(GET notice 0 name)
    list(GET notice 1 variable)
    if(NOT ${variable})
      message(WARNING "The Windows ZIP will lack the licence notice of ${name}")
      continue()
    endif()
    install(FILES ${${variable}} DESTINATION licenses RENAME ${name}.txt)
  endforeach()
  return()
endif()

# Two components, one Debian package each: "orvella", what a user installs (the module and
# its help, orvella-host with its manual page and completion, the sync timer and the
# user's README), and "artd", the local art service that tests and demos run.
include(cmake/PackagedDocs.cmake)
install(TARGETS Orvella LIBRARY DESTINATION ${ORVELLA_INSTALL_PLUGINDIR} COMPONENT orvella)
install(TARGETS orvella-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT orvella)
install(TARGETS orvella-artd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT artd)
# The Help button opens help/index.html beside the module.
install(FILES ${ORVELLA_HELP_PAGES} DESTINATION ${ORVELLA_INSTALL_PLUGINDIR}/help
        COMPONENT orvella)
install(FILES ${ORVELLA_DOCS_DIR}/orvella-host.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT orvella)
install(FILES ${ORVELLA_DOCS_DIR}/orvella-artd.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT artd)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/bash-completion/orvella-host
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT orvella)
# Each package's documentation folder: the licence as Debian's copyright file, the
# changelog, and for the user's package the README for users.
install(FILES ${ORVELLA_DOCS_DIR}/README.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
              ${ORVELLA_DOCS_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT orvella)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${ORVELLA_DOCS_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvella-artd COMPONENT artd)
# The help is also found with the other documentation: a link, so that a system that
# leaves out share/doc keeps a working Help button.
file(RELATIVE_PATH _help_from_doc "/prefix/${CMAKE_INSTALL_DOCDIR}"
     "/prefix/${ORVELLA_INSTALL_PLUGINDIR}/help")
install(CODE "
  set(_doc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
  file(MAKE_DIRECTORY \"\${_doc}\")
  file(REMOVE \"\${_doc}/help\")
  file(CREATE_LINK \"${_help_from_doc}\" \"\${_doc}/help\" SYMBOLIC)
  message(STATUS \"Installing: \${_doc}/help -> ${_help_from_doc}\")" COMPONENT orvella)
# A systemd user unit and timer: `systemctl --user enable --now orvella-sync.timer`.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvella-sync.service
              ${CMAKE_SOURCE_DIR}/packaging/orvella-sync.timer
        DESTINATION lib/systemd/user COMPONENT orvella)
