# Throughput and quality of the sample-rate conversion chain against libsamplerate's linear converter.
pkg_check_modules(SAMPLERATE REQUIRED IMPORTED_TARGET samplerate)
add_executable(conversion_bench ${CMAKE_CURRENT_LIST_DIR}/conversion_bench.cpp)
target_link_libraries(conversion_bench PRIVATE sorvak wavelark_signal_quality PkgConfig::SAMPLERATE
                      benchmark::benchmark)
