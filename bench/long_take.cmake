# Stop processing of an hour-long take: raw take maximise, peak cache build and first paint.
add_executable(long_take_bench ${CMAKE_CURRENT_LIST_DIR}/long_take_bench.cpp)
target_link_libraries(long_take_bench PRIVATE benchmark::benchmark recorder_take recorder_widgets)
