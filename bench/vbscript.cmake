# The script engine against CPython: vbscript_bench [runs] prints the three timings and ratios.
if(TARGET platform_vbscript)
  add_executable(vbscript_bench ${CMAKE_CURRENT_LIST_DIR}/vbscript_bench.cpp)
  orra_target_defaults(vbscript_bench)
  target_compile_definitions(vbscript_bench PRIVATE ORRA_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
  target_link_libraries(vbscript_bench PRIVATE platform_vbscript Qt6::Core)
endif()
