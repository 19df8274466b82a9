vantorel_benchmark(bench_formats ${CMAKE_CURRENT_LIST_DIR}/bench_formats.cpp)
