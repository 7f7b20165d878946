# The Windows module: DllMain, the one undecorated export (host/orvella.def) and the
# resources (dialogs 1000 and 1001, string table, version 1.0.0.0) in a script generated
# at build time from resources/ by orvella-rcgen, so the two cannot drift apart.
enable_language(RC)

set(ORVELLA_RCGEN_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/rcgen/rcgen_main.cpp
  ${CMAKE_SOURCE_DIR}/tools/rcgen/rc_script.cpp
  ${CMAKE_SOURCE_DIR}/resources/dialog_templates.cpp
  ${CMAKE_SOURCE_DIR}/resources/string_table.cpp)
set(ORVELLA_RCGEN_HEADERS
  ${CMAKE_SOURCE_DIR}/tools/rcgen/rc_script.h
  ${CMAKE_SOURCE_DIR}/resources/dialog_templates.h
  ${CMAKE_SOURCE_DIR}/resources/string_table.h)
if(CMAKE_CROSSCOMPILING)
  # The generator runs on the build machine: compile it with the build machine's compiler.
  find_program(ORVELLA_BUILD_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(ORVELLA_RCGEN ${CMAKE_BINARY_DIR}/rcgen/orvella-rcgen)
  add_custom_command(OUTPUT ${ORVELLA_RCGEN}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/rcgen
    COMMAND ${ORVELLA_BUILD_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR} ${ORVELLA_RCGEN_SOURCES}
            -o ${ORVELLA_RCGEN}
    DEPENDS ${ORVELLA_RCGEN_SOURCES} ${ORVELLA_RCGEN_HEADERS}
    COMMENT "Building orvella-rcgen for the build machine"
    VERBATIM)
else()
  add_executable(orvella-rcgen ${ORVELLA_RCGEN_SOURCES})
  target_include_directories(orvella-rcgen PRIVATE ${CMAKE_SOURCE_DIR})
  set(ORVELLA_RCGEN orvella-rcgen)
endif()
set(ORVELLA_RC ${CMAKE_BINARY_DIR}/generated/orvella.rc)
add_custom_command(OUTPUT ${ORVELLA_RC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${ORVELLA_RCGEN} ${ORVELLA_RC} ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR}
          ${PROJECT_VERSION_PATCH} ${ORVELLA_VERSION_TWEAK}
  DEPENDS ${ORVELLA_RCGEN}
  COMMENT "Writing the module's resource script"
  VERBATIM)

target_sources(Orvella PRIVATE
  ${CMAKE_SOURCE_DIR}/host/plugin_entry_win.cpp
  ${CMAKE_SOURCE_DIR}/host/orvella.def
  ${ORVELLA_RC})
# Only the .def file's name is exported, nothing of the static runtime; a release module
# carries no symbol table.
target_link_options(Orvella PRIVATE "LINKER:--exclude-all-symbols" $<$<CONFIG:Release>:-s>)
# The image's own version (CMake links it from VERSION): the product's major and minor.
set_target_properties(Orvella PROPERTIES VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
