# The version texts of a library file and of the program. The test program carries the
# program's own record, so ProgramVersionText reads the project's version from it.
trs_add_test(desktop_version_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/LibraryVersionTest.cpp
  LIBS trs_desktop trs_program_version trs_test_version_fixtures)
