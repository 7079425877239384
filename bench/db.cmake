# Database layer: buffering a large result through Recordset against a bare sqlite3_step loop.
add_executable(db_fetch_bench ${CMAKE_CURRENT_LIST_DIR}/db_fetch.cpp)
orra_target_defaults(db_fetch_bench)
target_link_libraries(db_fetch_bench PRIVATE platform_db PkgConfig::SQLITE3 benchmark::benchmark)
