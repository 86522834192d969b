# The recorder's start-up time: process start to the first painted main window.
add_executable(recorder_startup_bench ${CMAKE_CURRENT_LIST_DIR}/recorder_startup_bench.cpp)
target_link_libraries(recorder_startup_bench PRIVATE benchmark::benchmark)
target_compile_definitions(recorder_startup_bench PRIVATE WAVELARK_PROGRAM="$<TARGET_FILE:wavelark>")
add_dependencies(recorder_startup_bench wavelark)
