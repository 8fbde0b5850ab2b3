pagewick_add_bench(bench_sites ${CMAKE_CURRENT_LIST_DIR}/sites_bench.cpp)
