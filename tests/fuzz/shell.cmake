# The settings file CONFIG.CFG: its line reader and the two writers.
trs_add_fuzzer(fuzz_config_file FuzzConfigFile.cpp trs_config)
