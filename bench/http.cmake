# bench_http: THttpServer against a minimal server, one connection per request.
add_executable(bench_http ${CMAKE_CURRENT_SOURCE_DIR}/BenchHttpServer.cpp)
target_compile_options(bench_http PRIVATE ${TRS_WARNINGS})
target_link_libraries(bench_http PRIVATE trs_http)
