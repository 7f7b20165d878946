# The Debian source packages the Windows build compiles, as pinned in debian-sources.txt
# beside this file. scripts/install-deps.sh fetches them into ORVELLA_DEBIAN_SOURCES; the
# build checks every file again (the cache is only a folder) and unpacks the upstream
# source with Debian's patches applied into the build tree.

set(_orvella_debian_sources_default "$ENV{ORVELLA_DEBIAN_SOURCES}")
if(NOT _orvella_debian_sources_default)
  if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_orvella_debian_sources_default "$ENV{XDG_CACHE_HOME}/orvella/debian-sources")
  else()
    set(_orvella_debian_sources_default "$ENV{HOME}/.cache/orvella/debian-sources")
  endif()
endif()
set(ORVELLA_DEBIAN_SOURCES "${_orvella_debian_sources_default}" CACHE PATH
  "Folder holding the Debian source packages of cmake/debian-sources.txt (scripts/install-deps.sh fills it)")
set(_orvella_debian_pins ${CMAKE_CURRENT_LIST_DIR}/debian-sources.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_orvella_debian_pins})

# _orvella_debian_checked_file(PATH SHA256): stops the configuration when PATH is missing or
# its SHA-256 is not the pinned one.
function(_orvella_debian_checked_file path sha256)
  set(fetch "run scripts/install-deps.sh package, or set ORVELLA_DEBIAN_SOURCES")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${path} is missing: ${fetch}")
  endif()
  file(SHA256 "${path}" actual)
  if(NOT actual STREQUAL sha256)
    message(FATAL_ERROR "${path} has the SHA-256 ${actual}, not the ${sha256} that "
                        "cmake/debian-sources.txt pins: remove it and ${fetch}")
  endif()
endfunction()

# _orvella_debian_apply_patches(SOURCE_DIR DEBIAN_DIR): applies the quilt series of
# DEBIAN_DIR/patches to SOURCE_DIR, in order, as dpkg-source does.
function(_orvella_debian_apply_patches source_dir debian_dir)
  set(series ${debian_dir}/patches/series)
  if(NOT EXISTS ${series})
    return()
  endif()
  find_program(ORVELLA_PATCH patch REQUIRED)
  file(STRINGS ${series} lines)
  foreach(line ${lines})
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    endif()
    string(REGEX MATCH "^[^ \t]+" patch_name "${line}")
    execute_process(COMMAND ${ORVELLA_PATCH} -p1 --batch --forward --quiet
        -i ${debian_dir}/patches/${patch_name}
      WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE result OUTPUT_VARIABLE output
      ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "Debian's patch ${patch_name} does not apply to ${source_dir}:\n${output}")
    endif()
  endforeach()
endfunction()

# orvella_debian_source(PACKAGE SOURCE_VAR VERSION_VAR): checks each pinned file of the source
# package PACKAGE, unpacks its upstream tarball with the Debian patches applied (once per
# build tree, again when a pin changes) and sets SOURCE_VAR to the unpacked source folder
# and VERSION_VAR to the package's Debian version. Stops the configuration with a message
# saying what to run when a file is missing or differs from its pin.
function(orvella_debian_source package source_var version_var)
  file(STRINGS ${_orvella_debian_pins} pins REGEX "^${package} ")
  if(NOT pins)
    message(FATAL_ERROR "cmake/debian-sources.txt pins no file of ${package}")
  endif()
  set(upstream "")
  set(debian "")
  foreach(pin ${pins})
    string(REGEX REPLACE "[ \t]+" ";" fields "${pin}")
    list(GET fields 1 version)
    list(GET fields 2 name)
    list(GET fields 3 sha256)
    _orvella_debian_checked_file(${ORVELLA_DEBIAN_SOURCES}/${name} ${sha256})
    if(name MATCHES "\\.orig\\.tar\\.")
      set(upstream ${ORVELLA_DEBIAN_SOURCES}/${name})
    elseif(name MATCHES "\\.debian\\.tar\\.")
      set(debian ${ORVELLA_DEBIAN_SOURCES}/${name})
    endif()
    string(APPEND stamp_text "${pin}\n")
  endforeach()
  if(NOT upstream OR NOT debian)
    message(FATAL_ERROR "cmake/debian-sources.txt pins no upstream or Debian tarball of ${package}")
  endif()

  set(unpacked ${CMAKE_BINARY_DIR}/debian-sources/${package})
  set(stamp ${unpacked}/pins.txt)
  set(old_stamp "")
  if(EXISTS ${stamp})
    file(READ ${stamp} old_stamp)
  endif()
  if(NOT old_stamp STREQUAL stamp_text)
    file(REMOVE_RECURSE ${unpacked})
    file(ARCHIVE_EXTRACT INPUT ${upstream} DESTINATION ${unpacked}/upstream)
    file(ARCHIVE_EXTRACT INPUT ${debian} DESTINATION ${unpacked})
    # The upstream tarball holds one top folder, whatever its name.
    file(GLOB top LIST_DIRECTORIES true ${unpacked}/upstream/*)
    list(LENGTH top count)
    if(NOT count EQUAL 1 OR NOT IS_DIRECTORY ${top})
      message(FATAL_ERROR "${upstream} does not hold exactly one top folder")
    endif()
    file(RENAME ${top} ${unpacked}/source)
    file(REMOVE_RECURSE ${unpacked}/upstream)
    _orvella_debian_apply_patches(${unpacked}/source ${unpacked}/debian)
    # Written last: an interrupted unpacking is done again at the next configuration.
    file(WRITE ${stamp} "${stamp_text}")
  endif()
  set(${source_var} ${unpacked}/source PARENT_SCOPE)
  set(${version_var} ${version} PARENT_SCOPE)
endfunction()
