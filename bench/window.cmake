if(PAGEWICK_WITH_GUI)
    add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/window_bench.cpp)
    target_link_libraries(bench_window PRIVATE pagewick_gui benchmark::benchmark)
    set_property(GLOBAL APPEND PROPERTY PAGEWICK_BENCHES bench_window)
endif()

# The real window opening a big page, driven by bigpage_window.py (`make
# bench-bigpage`). Not a Google Benchmark program: its name keeps it out of
# the programs `make bench` runs one after another.
if(PAGEWICK_WITH_GUI)
    add_executable(bigpage_window ${CMAKE_CURRENT_LIST_DIR}/bigpage_window.cpp)
    target_link_libraries(bigpage_window PRIVATE pagewick_gui pagewick_net)
    set_property(GLOBAL APPEND PROPERTY PAGEWICK_BENCHES bigpage_window)
endif()
