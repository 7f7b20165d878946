# The plug-in's help. Linux: the HTML pages themselves in help/ beside the module, where
# the Help button opens them with the desktop's handler. Windows: "Orvella.chm" compiled
# from the same pages with chmcmd (Free Pascal's HTML help compiler), beside the module.
set(ORVELLA_HELP_PAGES
  ${CMAKE_SOURCE_DIR}/resources/help/index.html ${CMAKE_SOURCE_DIR}/resources/help/settings.html
  ${CMAKE_SOURCE_DIR}/resources/help/signin.html ${CMAKE_SOURCE_DIR}/resources/help/files.html)
if(NOT WIN32)
  add_custom_target(orvella_help_pages ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVELLA_BIN_DIR}/help
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORVELLA_HELP_PAGES} ${ORVELLA_BIN_DIR}/help
    DEPENDS ${ORVELLA_HELP_PAGES}
    COMMENT "Copying the help pages beside the module"
    VERBATIM)
endif()

find_program(ORVELLA_CHMCMD chmcmd NO_CMAKE_FIND_ROOT_PATH)
if(NOT ORVELLA_CHMCMD)
  message(STATUS "chmcmd not found (apt-get install fp-utils): Orvella.chm is not built")
  return()
endif()
file(GLOB ORVELLA_HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/help/*)
set(ORVELLA_HELP_WORK ${CMAKE_BINARY_DIR}/help)
add_custom_command(OUTPUT ${ORVELLA_HELP_WORK}/Orvella.chm
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/resources/help ${ORVELLA_HELP_WORK}
  COMMAND ${CMAKE_COMMAND} -E chdir ${ORVELLA_HELP_WORK} ${ORVELLA_CHMCMD} orvella.hhp
  DEPENDS ${ORVELLA_HELP_SOURCES}
  COMMENT "Compiling Orvella.chm"
  VERBATIM)
add_custom_target(orvella_help ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORVELLA_HELP_WORK}/Orvella.chm
          $<TARGET_FILE_DIR:Orvella>/Orvella.chm
  DEPENDS ${ORVELLA_HELP_WORK}/Orvella.chm Orvella
  VERBATIM)
