# The HTTP layer's parsers: the request reader (with the answer to it) and parameter decoding.
trs_add_fuzzer(fuzz_http_request FuzzHttpRequest.cpp trs_http)
trs_add_fuzzer(fuzz_http_params FuzzHttpParams.cpp trs_http)
