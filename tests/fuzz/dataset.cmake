# The client dataset's packet readers: binary packets (SetData) and XML packets.
if(TRS_FUZZ)
  # Coverage must come from the readers themselves, not only from the entry points.
  target_compile_options(trs_dataset PRIVATE -fsanitize=fuzzer-no-link)
endif()
trs_add_fuzzer(fuzz_midas_binary FuzzMidasBinary.cpp trs_dataset)
trs_add_fuzzer(fuzz_midas_xml FuzzMidasXml.cpp trs_dataset)
