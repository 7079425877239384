# The batch interpreter: a 100,000-turn WHILE loop against the same statements stepped from C++.
add_executable(embedded_batch_bench ${CMAKE_CURRENT_LIST_DIR}/embedded_batch.cpp)
orra_target_defaults(embedded_batch_bench)
target_link_libraries(embedded_batch_bench PRIVATE catalogue platform_db PkgConfig::SQLITE3 Qt6::Core)
