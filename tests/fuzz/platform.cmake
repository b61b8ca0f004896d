# The platform layer's parsers: the version record reader of ELF files.
trs_add_fuzzer(fuzz_file_version FuzzFileVersion.cpp trs_platform)
