vantorel_benchmark(bench_export ${CMAKE_CURRENT_LIST_DIR}/bench_export.cpp)
