add_executable(bench_crc ${CMAKE_CURRENT_LIST_DIR}/crc_checksum.cpp)
orra_target_defaults(bench_crc)
target_link_libraries(bench_crc PRIVATE common)
