vantorel_benchmark(bench_viewer ${CMAKE_CURRENT_LIST_DIR}/bench_viewer.cpp)
