# Third-party code comes from Debian's packages only.

# nlohmann-json is header-only. A cross build must not search the host's
# /usr/include, so only its own folder is exposed to the target compiler.
find_path(QUILLON_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
set(_json_include ${CMAKE_BINARY_DIR}/deps/include)
file(MAKE_DIRECTORY ${_json_include})
file(CREATE_LINK ${QUILLON_NLOHMANN_DIR}/nlohmann ${_json_include}/nlohmann SYMBOLIC)
add_library(quillon_json INTERFACE)
target_include_directories(quillon_json SYSTEM INTERFACE ${_json_include})

if(QUILLON_BUILD_TESTS AND NOT QUILLON_FUZZ)
  # The tests' own files, mostly GoogleTest's expanded macros, are built for a
  # quick build rather than a quick run: -O1 and line tables only (enough for
  # the sanitizers' and debuggers' file and line). The code under test keeps
  # its configuration's optimisation and debug information.
  add_library(quillon_test_code INTERFACE)
  target_compile_options(quillon_test_code INTERFACE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-O1>
    $<$<CONFIG:Debug,RelWithDebInfo>:-g1>)
  if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest's sources; build them with the cross compiler.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    add_library(quillon_gtest_main INTERFACE)
    target_link_libraries(quillon_gtest_main INTERFACE gmock gtest_main quillon_test_code)
  else()
    find_package(GTest REQUIRED)
    add_library(quillon_gtest_main INTERFACE)
    target_link_libraries(quillon_gtest_main INTERFACE GTest::gmock GTest::gtest_main quillon_test_code)
  endif()
endif()
