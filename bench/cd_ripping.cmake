# CD ripping from the emulated drive at 1 ms a command: one sector a READ CD against several.
add_executable(cd_ripping_bench ${CMAKE_CURRENT_LIST_DIR}/cd_ripping_bench.cpp)
target_link_libraries(cd_ripping_bench PRIVATE sorvak_objects wavelark_scsi benchmark::benchmark)
