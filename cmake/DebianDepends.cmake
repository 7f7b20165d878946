# Run by cpack as its project configuration (see Packaging.cmake): each Debian package's
# Depends, as dpkg-shlibdeps finds them for its programs, plus what they open at run time.
# ORVELLA_DEB_FILES_<component> and ORVELLA_DEB_RUNTIME_DEPENDS_<component> name them.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
find_program(ORVELLA_DPKG_SHLIBDEPS dpkg-shlibdeps REQUIRED)
# dpkg-shlibdeps wants a source tree's control file; an empty one serves.
file(MAKE_DIRECTORY ${ORVELLA_DEB_WORK}/debian)
file(TOUCH ${ORVELLA_DEB_WORK}/debian/control)
foreach(component orvella artd)
  set(_args)
  foreach(file ${ORVELLA_DEB_FILES_${component}})
    list(APPEND _args -e${file})
  endforeach()
  execute_process(COMMAND ${ORVELLA_DPKG_SHLIBDEPS} -O ${_args}
    WORKING_DIRECTORY ${ORVELLA_DEB_WORK}
    OUTPUT_VARIABLE _found ERROR_VARIABLE _warnings RESULT_VARIABLE _status
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT _status EQUAL 0 OR NOT _found MATCHES "^shlibs:Depends=")
    message(FATAL_ERROR "dpkg-shlibdeps failed for ${component}: ${_warnings}")
  endif()
  string(REGEX REPLACE "^shlibs:Depends=" "" _depends "${_found}")
  if(ORVELLA_DEB_RUNTIME_DEPENDS_${component})
    string(APPEND _depends ", ${ORVELLA_DEB_RUNTIME_DEPENDS_${component}}")
  endif()
  string(TOUPPER ${component} _upper)
  set(CPACK_DEBIAN_${_upper}_PACKAGE_DEPENDS "${_depends}")
endforeach()
