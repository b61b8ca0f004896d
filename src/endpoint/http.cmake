# The HTTP layer: byte streams, request reader, parameter decoding, response writer, server.
add_library(trs_http STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/HttpStream.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/HttpParams.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/HttpRequestReader.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/HttpResponseWriter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/HttpServer.cpp
)
target_compile_options(trs_http PRIVATE ${TRS_WARNINGS})
target_link_libraries(trs_http PUBLIC trs_platform)
