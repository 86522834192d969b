# A ten-minute recording through the capture engine and the real sound path, with and without
# the take's sync cadence, on a loaded machine.
add_executable(durable_recording_bench
  ${CMAKE_CURRENT_LIST_DIR}/durable_recording_bench.cpp
  ${CMAKE_SOURCE_DIR}/tests/platform/audio/private_pulse_server.cpp)
target_include_directories(durable_recording_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform/audio
                           ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(durable_recording_bench PRIVATE recorder_audio benchmark::benchmark)
