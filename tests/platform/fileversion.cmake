# File version records, read from real libraries built here: one with file version 2.5.3.4
# and product version 1.2.7.9, one without a record.
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/VersionFixture.cpp CONTENT [[
// Fixture library of the file version tests; carries a record when built with one.
#include "platform/VersionRecord.h"

#ifdef TRS_FIXTURE_VERSION
#define TRS_FIXTURE_RECORD(...) TRS_VERSION_RECORD(__VA_ARGS__)
TRS_FIXTURE_RECORD(TRS_FIXTURE_VERSION);
#endif

extern "C" int TrsVersionFixture() { return 1; }
]])

foreach(_fixture versioned unversioned)
  add_library(trs_${_fixture}_fixture MODULE ${CMAKE_CURRENT_BINARY_DIR}/VersionFixture.cpp)
  target_include_directories(trs_${_fixture}_fixture PRIVATE ${PROJECT_SOURCE_DIR}/src)
  # Kept apart from the engines that land next to the program.
  set_target_properties(trs_${_fixture}_fixture PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endforeach()
target_compile_definitions(trs_versioned_fixture PRIVATE "TRS_FIXTURE_VERSION=2,5,3,4,1,2,7,9")

# The project's version in four parts (a missing part is 0), as the program's record holds it.
set(_project_version_parts)
foreach(_part MAJOR MINOR PATCH TWEAK)
  if(PROJECT_VERSION_${_part} STREQUAL "")
    list(APPEND _project_version_parts 0)
  else()
    list(APPEND _project_version_parts ${PROJECT_VERSION_${_part}})
  endif()
endforeach()
list(JOIN _project_version_parts "," _project_version_parts)

# What a test of version records links: the fixtures' paths, built before it, and the
# project's version.
add_library(trs_test_version_fixtures INTERFACE)
target_compile_definitions(trs_test_version_fixtures INTERFACE
  TRS_VERSIONED_LIBRARY="$<TARGET_FILE:trs_versioned_fixture>"
  TRS_UNVERSIONED_LIBRARY="$<TARGET_FILE:trs_unversioned_fixture>"
  "TRS_PROJECT_VERSION_PARTS=${_project_version_parts}")
add_dependencies(trs_test_version_fixtures trs_versioned_fixture trs_unversioned_fixture)

trs_add_test(fileversion_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/FileVersionTest.cpp
  LIBS trs_platform trs_test_version_fixtures)
add_dependencies(fileversion_tests TallyReportSrv)
