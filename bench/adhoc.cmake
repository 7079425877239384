# An ad-hoc select of 1,000,000 rows x 10 columns in the editor window's result grid against
# the recordset alone: time to the first rows painted, memory the view adds.
if(TARGET designer_editor)
  add_executable(bench_adhoc_result ${CMAKE_CURRENT_LIST_DIR}/adhoc_result.cpp)
  orra_target_defaults(bench_adhoc_result)
  target_link_libraries(bench_adhoc_result PRIVATE catalogue designer_editor common platform_db Qt6::Widgets Qt6::Test)
endif()
