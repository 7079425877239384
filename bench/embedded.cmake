# Embedded server: translation overhead and the catalogue procedure against plain selects.
add_executable(embedded_bench ${CMAKE_CURRENT_LIST_DIR}/embedded_server.cpp)
orra_target_defaults(embedded_bench)
target_link_libraries(embedded_bench PRIVATE catalogue platform_db PkgConfig::SQLITE3 Qt6::Core)
