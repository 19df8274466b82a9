vantorel_benchmark(bench_tools ${CMAKE_CURRENT_LIST_DIR}/bench_tools.cpp)

# The dense fax the whole-program comparison splits (compare-tools.sh).
add_executable(make_dense_fax ${CMAKE_CURRENT_LIST_DIR}/make_dense_fax.cpp ${CMAKE_CURRENT_LIST_DIR}/bench_pages.cpp)
target_include_directories(make_dense_fax PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(make_dense_fax PRIVATE faxcore)
