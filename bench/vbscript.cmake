# The script engine against CPython: vbscript_bench [runs] runs vbsrun and python3 on the same
# three programs as whole processes and prints the timings and ratios.
if(TARGET platform_vbscript AND TARGET vbsrun)
  add_executable(vbscript_bench ${CMAKE_CURRENT_LIST_DIR}/vbscript_bench.cpp)
  orra_target_defaults(vbscript_bench)
  target_compile_definitions(vbscript_bench PRIVATE ORRA_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}"
    ORRA_VBSRUN="$<TARGET_FILE:vbsrun>")
  target_link_libraries(vbscript_bench PRIVATE Qt6::Core)
  add_dependencies(vbscript_bench vbsrun)
endif()
