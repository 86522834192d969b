# The setup program's start-up time (process start to the first painted dialog) and size, with
# the recorder's start-up benchmark built for it.
add_executable(setup_startup_bench ${CMAKE_CURRENT_LIST_DIR}/recorder_startup_bench.cpp)
target_link_libraries(setup_startup_bench PRIVATE benchmark::benchmark)
target_compile_definitions(setup_startup_bench PRIVATE WAVELARK_PROGRAM="$<TARGET_FILE:setup>"
                                                        WAVELARK_STARTUP_NAME="SetupStartupToFirstPaint")
add_dependencies(setup_startup_bench setup)
