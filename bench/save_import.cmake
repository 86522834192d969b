# Saving and importing an hour-long take beside lame and ffmpeg: the save's copy, fade and
# maximise pass and conversions, and the import with its maximise and peak cache.
add_executable(save_import_bench ${CMAKE_CURRENT_LIST_DIR}/save_import_bench.cpp)
target_link_libraries(save_import_bench PRIVATE benchmark::benchmark recorder_take)
target_compile_definitions(save_import_bench PRIVATE WAVELARK_TOOLKIT_PATH="$<TARGET_FILE:sorvak>")
add_dependencies(save_import_bench sorvak)
