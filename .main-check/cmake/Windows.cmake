# Dependencies of the Windows build (mingw-w64 cross build, or a native toolchain).
#
# The plug-in needs only system DLLs there: WinINet for HTTP, the registry, version
# information, Win32 dialogs and the shell's folder browser. The one outside library is
# JsonCpp: a machine that has it (vcpkg, say) uses it; otherwise the subset of its API the
# client uses is provided over nlohmann-json (header-only), from compat/jsoncpp_nlohmann.

if(NOT TARGET JsonCpp::JsonCpp)
  # nlohmann-json is plain headers: found on the build machine, outside the cross root,
  # and offered through a folder that holds only them (never the build machine's
  # /usr/include, whose C library headers must not reach the cross compiler).
  find_path(ORVELLA_NLOHMANN_INCLUDE nlohmann/json.hpp
    PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ORVELLA_NLOHMANN_INCLUDE)
    message(FATAL_ERROR "Neither JsonCpp nor nlohmann-json found (apt-get install nlohmann-json3-dev)")
  endif()
  set(ORVELLA_NLOHMANN_ONLY ${CMAKE_BINARY_DIR}/nlohmann-only)
  if(NOT EXISTS ${ORVELLA_NLOHMANN_ONLY}/nlohmann)
    file(MAKE_DIRECTORY ${ORVELLA_NLOHMANN_ONLY})
    file(CREATE_LINK ${ORVELLA_NLOHMANN_INCLUDE}/nlohmann ${ORVELLA_NLOHMANN_ONLY}/nlohmann
      SYMBOLIC COPY_ON_ERROR)
  endif()
  add_subdirectory(${CMAKE_SOURCE_DIR}/compat/jsoncpp_nlohmann
    ${CMAKE_BINARY_DIR}/compat/jsoncpp_nlohmann)
  add_library(JsonCpp::JsonCpp ALIAS orvella_jsoncpp_nlohmann)
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

# The tests' loopback server is written against cpp-httplib, which has no mingw build in
# Debian either: its server API subset over Winsock stands in.
if(ORVELLA_BUILD_TESTS AND NOT TARGET PkgConfig::HTTPLIB)
  add_subdirectory(${CMAKE_SOURCE_DIR}/compat/httplib_win ${CMAKE_BINARY_DIR}/compat/httplib_win)
  add_library(PkgConfig::HTTPLIB ALIAS orvella_httplib_win)
endif()

