vantorel_benchmark(bench_print ${CMAKE_CURRENT_LIST_DIR}/bench_print.cpp)

# The print job through Qt to a PDF, timed as a whole process by compare-print.sh.
add_executable(print_to_pdf ${CMAKE_CURRENT_LIST_DIR}/print_to_pdf.cpp)
target_link_libraries(print_to_pdf PRIVATE tarvexapp)
