# Warnings and test registration shared by every target of the project.

# Warnings are errors where we build (the presets and CI switch it on); a plain
# configure by a user or a packager leaves them warnings, since another
# compiler version may warn where ours does not.
option(QUILLON_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

function(quillon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 at -O3 warns that std::string's own insert may overlap when a
  # literal is added to a temporary string (GCC bug 105329), which every
  # Release build meets in the standard headers; later versions do not.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(QUILLON_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A static library of our own code.
function(quillon_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS})
  quillon_warnings(${name})
endfunction()

# A GoogleTest executable. Natively every test case becomes its own CTest test;
# cross-built executables run whole under the emulator (one Wine start each),
# through CROSS_WRAPPER when one is named (a command that starts the servers
# the tests need and then runs the emulator and the executable it is given).
function(quillon_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;CROSS_WRAPPER" ${ARGN})
  if(NOT QUILLON_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillon_gtest_main)
  quillon_warnings(${name})
  if(CMAKE_CROSSCOMPILING AND ARG_CROSS_WRAPPER)
    add_test(NAME ${name}
      COMMAND ${ARG_CROSS_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS "wine;${ARG_LABELS}" TIMEOUT 600)
  elseif(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "wine;${ARG_LABELS}" TIMEOUT 600)
  else()
    include(GoogleTest)
    set(_properties TIMEOUT 120)
    if(ARG_LABELS)
      list(APPEND _properties LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${name} PROPERTIES ${_properties} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# A Windows test executable that shows real windows: run under Wine with an
# Xvfb and a Wine prefix of its own (scripts/wine-with-display), one at a time.
function(quillon_display_test name)
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-with-display ${QUILLON_WINE_DISPLAY_PREFIX}
            ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    LABELS "wine;gui" TIMEOUT 300 RESOURCE_LOCK wine_display_prefix)
endfunction()

# A copy of the Windows engine `source` (made by `producer`) beside `program`,
# which takes it from its own folder when it deploys; `copy` names the step.
function(quillon_engine_beside program copy source producer)
  set(beside ${CMAKE_CURRENT_BINARY_DIR}/QuillonEngine.exe)
  add_custom_command(OUTPUT ${beside}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${beside}
    DEPENDS ${producer} ${source}
    VERBATIM)
  add_custom_target(${copy} ALL DEPENDS ${beside})
  add_dependencies(${program} ${copy})
endfunction()

# A Windows program without the common controls' windows gets the manifest
# that names the Windows versions it knows and asks for the caller's rights;
# windowed programs get theirs, with the common controls, from
# quillon_windowed_program. A resource in a static library would be left out.
function(quillon_program_manifest target)
  set(QUILLON_PROGRAM_MANIFEST ${PROJECT_SOURCE_DIR}/platform/win32/program.manifest)
  set(rc ${PROJECT_BINARY_DIR}/platform/win32/program.rc)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS ${QUILLON_PROGRAM_MANIFEST})
endfunction()

# The version resource of a Windows program (platform/win32/version.rc.in):
# `description` is its FileDescription, the file name its own.
function(quillon_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(QUILLON_FILE_DESCRIPTION "${description}")
  set(QUILLON_INTERNAL_NAME "${target}")
  set(QUILLON_ORIGINAL_FILENAME "${target}.exe")
  set(rc ${PROJECT_BINARY_DIR}/generated/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# Checks the manifest and the version resource built into a Windows program
# (scripts/check-manifest); COMMON_CONTROLS for the programs with windows.
function(quillon_manifest_test target)
  cmake_parse_arguments(ARG "COMMON_CONTROLS" "" "" ${ARGN})
  if(NOT QUILLON_BUILD_TESTS)
    return()
  endif()
  # Every program checked here is one the release ships: its version too.
  set(flags --version ${PROJECT_VERSION})
  if(ARG_COMMON_CONTROLS)
    list(APPEND flags --common-controls)
  endif()
  add_test(NAME ${target}_manifest
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/check-manifest ${flags}
            $<TARGET_FILE:${target}>)
endfunction()
