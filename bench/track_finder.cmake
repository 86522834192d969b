# The break finder: accuracy over a generated corpus of sides asked three ways, and the proposal
# of a 20-minute side from disk.
include(${CMAKE_CURRENT_LIST_DIR}/track_corpus.cmake)
add_executable(track_finder_bench ${CMAKE_CURRENT_LIST_DIR}/track_finder_bench.cpp)
target_link_libraries(track_finder_bench PRIVATE benchmark::benchmark recorder_tracks track_corpus)
