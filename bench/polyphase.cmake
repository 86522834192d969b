# Signal measurements shared by the benchmarks (THD+N, tone levels).
add_library(wavelark_signal_quality STATIC ${CMAKE_CURRENT_LIST_DIR}/signal_quality.cpp)
target_include_directories(wavelark_signal_quality PUBLIC ${CMAKE_CURRENT_LIST_DIR})

# The polyphase resampler engine against libsoxr and speexdsp: speed and signal quality.
pkg_check_modules(SOXR REQUIRED IMPORTED_TARGET soxr)
pkg_check_modules(SPEEXDSP REQUIRED IMPORTED_TARGET speexdsp)
add_executable(polyphase_bench ${CMAKE_CURRENT_LIST_DIR}/polyphase_bench.cpp)
target_link_libraries(polyphase_bench PRIVATE sorvak wavelark_signal_quality benchmark::benchmark
                                              PkgConfig::SOXR PkgConfig::SPEEXDSP)
