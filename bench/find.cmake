# Find in the viewer: a window of its own on the offscreen platform, so it links the Qt layer.
add_executable(bench_find ${CMAKE_CURRENT_LIST_DIR}/bench_find.cpp ${CMAKE_CURRENT_LIST_DIR}/bench_pages.cpp)
target_include_directories(bench_find PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(bench_find PRIVATE tarvexapp benchmark::benchmark)
