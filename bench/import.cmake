# Importing an hour of 48 kHz 24-bit WAV beside sox's conversion of it, each with the raw take
# maximise and the peak cache.
add_executable(import_bench ${CMAKE_CURRENT_LIST_DIR}/import_bench.cpp)
target_link_libraries(import_bench PRIVATE benchmark::benchmark recorder_take)
target_compile_definitions(import_bench PRIVATE WAVELARK_TOOLKIT_PATH="$<TARGET_FILE:sorvak>")
add_dependencies(import_bench sorvak)
