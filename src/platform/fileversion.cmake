# File version records: the ELF reader of the record (the Windows build reads the version
# resource instead).
target_sources(trs_platform PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/FileVersion_elf.cpp)
