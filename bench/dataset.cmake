# bench_dataset: binary packet write and read beside memcpy, and the memory a staged table holds.
add_executable(bench_dataset ${CMAKE_CURRENT_SOURCE_DIR}/BenchDataset.cpp)
target_compile_options(bench_dataset PRIVATE ${TRS_WARNINGS})
target_link_libraries(bench_dataset PRIVATE trs_dataset benchmark::benchmark)
