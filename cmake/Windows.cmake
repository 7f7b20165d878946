# Dependencies of the Windows build (mingw-w64 cross build, or a native toolchain).
#
# The plug-in needs only system DLLs there: WinINet for HTTP, the registry, version
# information, Win32 dialogs and the shell's folder browser. The one outside library is
# JsonCpp, and xxHash for the stored files' digests, compiled from Debian's source packages
# with this toolchain and linked in statically; the test servers take cpp-httplib's header from Debian's source package.

include(${CMAKE_CURRENT_LIST_DIR}/DebianSources.cmake)

# Reads `#define NAME "text"` from HEADER into VAR.
function(_orvella_header_string header name var)
  file(STRINGS ${header} line REGEX "#define[ \t]+${name}[ \t]+\"")
  string(REGEX REPLACE ".*\"([^\"]*)\".*" "\\1" text "${line}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

if(NOT TARGET JsonCpp::JsonCpp)
  orvella_debian_source(libjsoncpp _jsoncpp_source _jsoncpp_debian_version)
  # The three sources of JsonCpp's lib_json, as its own build makes the static library
  # (exceptions on, no secure memory), without the project's warning flags.
  add_library(orvella_jsoncpp STATIC
    ${_jsoncpp_source}/src/lib_json/json_reader.cpp
    ${_jsoncpp_source}/src/lib_json/json_value.cpp
    ${_jsoncpp_source}/src/lib_json/json_writer.cpp)
  target_include_directories(orvella_jsoncpp SYSTEM PUBLIC ${_jsoncpp_source}/include)
  add_library(JsonCpp::JsonCpp ALIAS orvella_jsoncpp)
  _orvella_header_string(${_jsoncpp_source}/include/json/version.h JSONCPP_VERSION_STRING
    _jsoncpp_version)
  message(STATUS "JsonCpp ${_jsoncpp_version} (Debian libjsoncpp ${_jsoncpp_debian_version}), "
                 "linked into the module")
  # A binary that holds the library carries its notice (cmake/Install.cmake).
  set(ORVELLA_JSONCPP_NOTICE ${_jsoncpp_source}/LICENSE)
endif()

if(NOT TARGET xxHash::xxhash)
  orvella_debian_source(xxhash _xxhash_source _xxhash_debian_version)
  # The one source of the library, as its own Makefile builds it, without the dispatch to
  # AVX2 and AVX-512 (the SSE2 code every x86-64 runs hashes at memory speed already).
  add_library(orvella_xxhash STATIC ${_xxhash_source}/xxhash.c)
  target_include_directories(orvella_xxhash SYSTEM PUBLIC ${_xxhash_source})
  add_library(xxHash::xxhash ALIAS orvella_xxhash)
  message(STATUS "xxHash (Debian xxhash ${_xxhash_debian_version}), linked into the module")
  set(ORVELLA_XXHASH_NOTICE ${_xxhash_source}/LICENSE)
endif()

# GoogleTest has no mingw build in Debian: build it from its sources with this toolchain.
if(ORVELLA_BUILD_TESTS AND NOT TARGET GTest::gtest)
  find_package(GTest CONFIG QUIET)
  if(NOT TARGET GTest::gtest)
    find_path(ORVELLA_GOOGLETEST_SOURCE CMakeLists.txt
      PATHS /usr/src/googletest NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ORVELLA_GOOGLETEST_SOURCE)
      message(FATAL_ERROR "GoogleTest sources not found (apt-get install googletest)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ORVELLA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock gmock_main)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  endif()
endif()

# The tests' loopback server uses cpp-httplib, header-only upstream: its header alone in a
# folder of its own (the rest of its source tree stays off the include path), over Winsock.
if(ORVELLA_BUILD_TESTS AND NOT TARGET PkgConfig::HTTPLIB)
  orvella_debian_source(cpp-httplib _httplib_source _httplib_debian_version)
  set(_httplib_include ${CMAKE_BINARY_DIR}/debian-sources/include/cpp-httplib)
  configure_file(${_httplib_source}/httplib.h ${_httplib_include}/httplib.h COPYONLY)
  add_library(orvella_httplib INTERFACE)
  target_include_directories(orvella_httplib SYSTEM INTERFACE ${_httplib_include})
  target_link_libraries(orvella_httplib INTERFACE ws2_32 Threads::Threads)
  add_library(PkgConfig::HTTPLIB ALIAS orvella_httplib)
  _orvella_header_string(${_httplib_include}/httplib.h CPPHTTPLIB_VERSION _httplib_version)
  message(STATUS "cpp-httplib ${_httplib_version} (Debian cpp-httplib ${_httplib_debian_version}), "
                 "for the test servers")
endif()
