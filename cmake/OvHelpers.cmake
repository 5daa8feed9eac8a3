# One helper per kind of target. Our own targets get the warning set, the code
# page of their narrow literals and the Windows target version; third-party code
# (GoogleTest, zlib) is built without them.

set(OV_WARNINGS
  -Wall -Wextra -Wformat=2 -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Werror)

function(_ov_common target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${OV_WARNINGS}>
    $<$<COMPILE_LANGUAGE:CXX>:-fexec-charset=CP932>
    $<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8>)
  target_compile_definitions(${target} PRIVATE
    _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600
    WIN32_LEAN_AND_MEAN NOMINMAX STRICT __USE_MINGW_ANSI_STDIO=1)
  target_compile_features(${target} PUBLIC cxx_std_17)
endfunction()

# ov_library(name SOURCES ... [DEPS ...] [INCLUDE dir])
# The folder itself is the public include root, so a header is reached only
# through a linked target.
function(ov_library name)
  cmake_parse_arguments(A "" "INCLUDE" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  add_library(ov::${name} ALIAS ${name})
  _ov_common(${name})
  if(A_INCLUDE)
    target_include_directories(${name} PUBLIC ${A_INCLUDE})
  else()
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# A version block for a program; FileVersion is OV_VERSION.
function(_ov_version_resource target description)
  set(OV_RC_NAME ${target})
  set(OV_RC_DESCRIPTION ${description})
  string(REPLACE "." "," OV_VERSION_COMMAS ${OV_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in
    ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
endfunction()

# ov_program(name [WIN32] SOURCES ... [DEPS ...])
function(ov_program name)
  cmake_parse_arguments(A "WIN32" "" "SOURCES;DEPS" ${ARGN})
  if(A_WIN32)
    add_executable(${name} WIN32 ${A_SOURCES})
  else()
    add_executable(${name} ${A_SOURCES})
  endif()
  _ov_common(${name})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_link_options(${name} PRIVATE -static)
  _ov_version_resource(${name} ${name})
endfunction()

# The gtest filter that names the suites of the sources that take the
# one-core lock (tests/support/CoreProcessLock.h), empty when none does.
# Such cases run one after another as far as ctest is concerned (resource
# "ov_one_core"): waiting for the lock inside a case would count against its
# time-out and keep a parallel slot idle while it waits.
function(_ov_one_core_suites out)
  set(patterns)
  foreach(source ${ARGN})
    get_filename_component(path ${source} ABSOLUTE)
    if(NOT path MATCHES "\\.cpp$")
      continue()
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(READ ${path} text)
    if(NOT text MATCHES "CCoreProcessLock|CoreLockFirst|OvTestCoreProcessLock")
      continue()
    endif()
    string(REGEX MATCHALL "(TEST|TEST_F|TEST_P)\\([A-Za-z0-9_]+," found "${text}")
    foreach(entry ${found})
      string(REGEX REPLACE "^[A-Z_]+\\(([A-Za-z0-9_]+),$" "\\1" suite "${entry}")
      list(APPEND patterns "*${suite}.*")
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES patterns)
  list(JOIN patterns ":" filter)
  set(${out} "${filter}" PARENT_SCOPE)
endfunction()

# ov_test(name SOURCES ... [DEPS ...]): one GoogleTest executable per library
# folder; ctest discovers its cases at test time through the Wine emulator.
function(ov_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  # CrashReport.cpp is compiled into each program (not taken from the
  # library): nothing refers to it, and a linker drops unreferenced members.
  add_executable(${name} ${A_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/CrashReport.cpp)
  _ov_common(${name})
  target_link_libraries(${name} PRIVATE ${A_DEPS} ov::test_support GTest::gtest GTest::gmock gtest_main)
  target_link_options(${name} PRIVATE -static)
  _ov_version_resource(${name} ${name})
  if(OV_RUN_TESTS)
    _ov_one_core_suites(one_core ${A_SOURCES})
    if(one_core)
      gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        TEST_FILTER "${one_core}"
        PROPERTIES TIMEOUT 300 RESOURCE_LOCK ov_one_core
          ENVIRONMENT "OV_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
      gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        TEST_FILTER "-${one_core}"
        PROPERTIES TIMEOUT 300 ENVIRONMENT "OV_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    else()
      gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 ENVIRONMENT "OV_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    endif()
  endif()
endfunction()
