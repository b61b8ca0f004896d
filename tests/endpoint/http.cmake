# The HTTP layer: request reader and parameter decoding over in-memory streams, the server
# over a real localhost port.
trs_add_test(http_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/HttpParamsTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HttpRequestReaderTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HttpResponseWriterTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/HttpServerTest.cpp
  LIBS trs_http)
