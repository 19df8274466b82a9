vantorel_benchmark(bench_zoomedit ${CMAKE_CURRENT_LIST_DIR}/bench_zoomedit.cpp)
