# The client dataset's packet readers: binary packets (SetData) and XML packets.
trs_add_fuzzer(fuzz_midas_binary FuzzMidasBinary.cpp trs_dataset)
trs_add_fuzzer(fuzz_midas_xml FuzzMidasXml.cpp trs_dataset)
