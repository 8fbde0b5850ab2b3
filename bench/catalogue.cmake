pagewick_add_bench(bench_catalogue ${CMAKE_CURRENT_LIST_DIR}/catalogue_bench.cpp)
