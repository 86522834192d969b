# Save Tracks: a generated 20-minute side as five tagged MP3 tracks on every core, beside lame
# encoding the whole side on one core.
include(${CMAKE_CURRENT_LIST_DIR}/track_corpus.cmake)
add_executable(track_batch_bench ${CMAKE_CURRENT_LIST_DIR}/track_batch_bench.cpp)
target_link_libraries(track_batch_bench PRIVATE benchmark::benchmark recorder_take track_corpus)
target_compile_definitions(track_batch_bench PRIVATE WAVELARK_TOOLKIT_PATH="$<TARGET_FILE:sorvak>")
add_dependencies(track_batch_bench sorvak)
