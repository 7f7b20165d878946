# Debian's hardening flags on every Linux build but the sanitizers': the stack protector,
# _FORTIFY_SOURCE=2, format security, RELRO and BIND_NOW. The programs and the module
# parse what the network sends. The flags are dpkg-buildflags' own where it is
# installed, so the package gets what Debian's packages get; else the same list. The
# optimisation and debug levels stay the build type's.
if(WIN32 OR ORVELLA_SANITIZE)
  return()
endif()
find_program(ORVELLA_DPKG_BUILDFLAGS dpkg-buildflags)
if(ORVELLA_DPKG_BUILDFLAGS)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${ORVELLA_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE _flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(_flags UNIX_COMMAND "${_flags}")
    list(FILTER _flags EXCLUDE REGEX "^-O|^-g|^-ffile-prefix-map=|^-fdebug-prefix-map=")
    set(_hardening_${kind} ${_flags})
  endforeach()
else()
  set(_hardening_CPPFLAGS -D_FORTIFY_SOURCE=2)
  set(_hardening_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
  set(_hardening_LDFLAGS -Wl,-z,relro -Wl,-z,now)
endif()
# What newer dpkg releases add to hardening=+all on this architecture, and hardening-check
# looks for: stack clash protection and control-flow protection.
include(CheckCXXCompilerFlag)
foreach(flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "ORVELLA_HAS${flag}" _has)
  check_cxx_compiler_flag(${flag} ${_has})
  if(${_has} AND NOT flag IN_LIST _hardening_CXXFLAGS)
    list(APPEND _hardening_CXXFLAGS ${flag})
  endif()
endforeach()
# _FORTIFY_SOURCE needs the optimiser: an unoptimised build would only warn about it.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  list(FILTER _hardening_CPPFLAGS EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
endif()
add_compile_options(${_hardening_CPPFLAGS} ${_hardening_CXXFLAGS})
add_link_options(${_hardening_LDFLAGS})
message(STATUS "Hardening: ${_hardening_CPPFLAGS} ${_hardening_CXXFLAGS} ${_hardening_LDFLAGS}")
