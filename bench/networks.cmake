pagewick_add_bench(bench_networks ${CMAKE_CURRENT_SOURCE_DIR}/networks_bench.cpp)
target_include_directories(bench_networks PRIVATE ${PROJECT_SOURCE_DIR}/tests)
