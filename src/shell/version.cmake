# The program's own version record, with the project's version as both its file and its
# product version. An OBJECT library, so the record's object is always part of the link
# (a static library's member that nothing references would be left out).
add_library(trs_program_version OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/ProgramVersion.cpp)
target_compile_options(trs_program_version PRIVATE ${TRS_WARNINGS})
target_link_libraries(trs_program_version PRIVATE trs_platform)
# A part that project() leaves out (a three-part version has no tweak) counts as 0.
foreach(_part MAJOR MINOR PATCH TWEAK)
  set(_value "${PROJECT_VERSION_${_part}}")
  if(_value STREQUAL "")
    set(_value 0)
  endif()
  target_compile_definitions(trs_program_version PRIVATE TRS_VERSION_${_part}=${_value})
endforeach()
