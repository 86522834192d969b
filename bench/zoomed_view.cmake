# The zoomed waveform view of a 20-minute side: a redraw at 10 ms a pixel read from the take, and
# the coarse zooms drawn from the side's summary.
add_executable(zoomed_view_bench ${CMAKE_CURRENT_LIST_DIR}/zoomed_view_bench.cpp)
target_link_libraries(zoomed_view_bench PRIVATE benchmark::benchmark recorder_take recorder_widgets)
