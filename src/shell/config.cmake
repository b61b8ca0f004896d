# CONFIG.CFG: reading and updating the program's settings file.
add_library(trs_config STATIC ConfigFile.cpp)
target_compile_options(trs_config PRIVATE ${TRS_WARNINGS})
target_link_libraries(trs_config PUBLIC trs_desktop trs_platform)
