# The documents the packages carry compressed, as Debian's policy asks: the manual pages,
# the changelog and the user's README, in ORVELLA_DOCS_DIR. gzip -n keeps no name or time
# in them, so the same sources give the same files.
find_program(ORVELLA_GZIP gzip REQUIRED)
set(ORVELLA_DOCS_DIR ${CMAKE_BINARY_DIR}/packaging)
set(_packaged_docs)
foreach(source man/orvella-host.1 man/orvella-artd.1 changelog README)
  get_filename_component(_name ${source} NAME)
  set(_out ${ORVELLA_DOCS_DIR}/${_name}.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVELLA_DOCS_DIR}
    COMMAND ${ORVELLA_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/packaging/${source} > ${_out}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${source}
    COMMENT "Compressing ${_name}")
  list(APPEND _packaged_docs ${_out})
endforeach()
add_custom_target(orvella_packaged_docs ALL DEPENDS ${_packaged_docs})
