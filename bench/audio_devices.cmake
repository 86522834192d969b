# The audio layer's real backend through a private PulseAudio null sink: callback jitter and
# xruns at each latency setting while both cores are kept busy.
add_executable(audio_devices_bench
  ${CMAKE_CURRENT_LIST_DIR}/audio_devices_bench.cpp
  ${CMAKE_SOURCE_DIR}/tests/platform/audio/private_pulse_server.cpp)
target_include_directories(audio_devices_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform/audio)
target_link_libraries(audio_devices_bench PRIVATE wavelark_audio benchmark::benchmark)
