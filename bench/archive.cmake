# Refresh of the archive list over a folder of 10,000 WAV, MP3, WMA and FLAC files.
add_executable(archive_bench ${CMAKE_CURRENT_LIST_DIR}/archive_bench.cpp)
target_link_libraries(archive_bench PRIVATE benchmark::benchmark recorder_archive)
target_compile_definitions(archive_bench PRIVATE WAVELARK_TOOLKIT_PATH="$<TARGET_FILE:sorvak>")
add_dependencies(archive_bench sorvak)
