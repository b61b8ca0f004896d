# The version texts of library files and of the program.
target_sources(trs_desktop PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/LibraryVersion.cpp)
