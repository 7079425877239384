# The engine's run of a 1,000-block document against the same statements in a plain loop.
if(TARGET tavrel)
  add_executable(bench_runtime_run ${CMAKE_CURRENT_LIST_DIR}/runtime_run.cpp)
  orra_target_defaults(bench_runtime_run)
  target_link_libraries(bench_runtime_run PRIVATE catalogue tavrel common platform_db platform_text Qt6::Core benchmark::benchmark)
endif()
