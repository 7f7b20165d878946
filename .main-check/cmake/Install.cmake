# What `cmake --install` puts where (the packages are made from the same rules).
if(WIN32)
  # The Windows ZIP: what goes into the wallpaper program's plug-in folder, and how.
  install(TARGETS Orvella LIBRARY DESTINATION . RUNTIME DESTINATION .)
  if(TARGET orvella_help)
    install(FILES ${ORVELLA_BIN_DIR}/Orvella.chm DESTINATION .)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/INSTALL-windows.txt DESTINATION . RENAME INSTALL.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  return()
endif()

install(TARGETS Orvella LIBRARY DESTINATION ${ORVELLA_INSTALL_PLUGINDIR})
install(TARGETS orvella-host orvella-artd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The Help button opens help/index.html beside the module.
install(FILES ${ORVELLA_HELP_PAGES} DESTINATION ${ORVELLA_INSTALL_PLUGINDIR}/help)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian looks for the licence under this name.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
# The help is also found with the other documentation: a link, so that a system that
# leaves out share/doc keeps a working Help button.
file(RELATIVE_PATH _help_from_doc "/prefix/${CMAKE_INSTALL_DOCDIR}"
     "/prefix/${ORVELLA_INSTALL_PLUGINDIR}/help")
install(CODE "
  set(_doc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
  file(MAKE_DIRECTORY \"\${_doc}\")
  file(REMOVE \"\${_doc}/help\")
  file(CREATE_LINK \"${_help_from_doc}\" \"\${_doc}/help\" SYMBOLIC)
  message(STATUS \"Installing: \${_doc}/help -> ${_help_from_doc}\")")
# A systemd user unit and timer: `systemctl --user enable --now orvella-sync.timer`.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvella-sync.service
              ${CMAKE_SOURCE_DIR}/packaging/orvella-sync.timer
        DESTINATION lib/systemd/user)
