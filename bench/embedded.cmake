# Embedded server: translation overhead and the catalogue procedure against plain selects.
add_executable(embedded_bench ${CMAKE_CURRENT_LIST_DIR}/embedded_server.cpp)
orra_target_defaults(embedded_bench)
target_link_libraries(embedded_bench PRIVATE catalogue platform_db PkgConfig::SQLITE3 Qt6::Core)

# Exact money and decimals: a million-row insert and report against plain SQLite over REAL.
add_executable(embedded_numbers_bench ${CMAKE_CURRENT_LIST_DIR}/embedded_numbers.cpp)
orra_target_defaults(embedded_numbers_bench)
target_link_libraries(embedded_numbers_bench PRIVATE catalogue platform_db PkgConfig::SQLITE3 Qt6::Core)
