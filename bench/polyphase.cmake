# Signal measurements shared by the benchmarks (THD+N, tone levels).
add_library(wavelark_signal_quality STATIC ${CMAKE_CURRENT_LIST_DIR}/signal_quality.cpp)
target_include_directories(wavelark_signal_quality PUBLIC ${CMAKE_CURRENT_LIST_DIR})
