# CONFIG.CFG: the reader, the two writers and their atomic saves.
trs_add_test(config_file_tests
  SOURCES ConfigFileTest.cpp
  LIBS trs_config trs_test_desktop)
