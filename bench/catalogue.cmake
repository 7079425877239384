# The catalogue tree fill of 100,000 documents against running the catalogue procedure and
# reading its two result sets alone.
if(TARGET designer_shell)
  add_executable(bench_catalogue_fill ${CMAKE_CURRENT_LIST_DIR}/catalogue_fill.cpp)
  orra_target_defaults(bench_catalogue_fill)
  target_link_libraries(bench_catalogue_fill PRIVATE catalogue designer_shell common platform_db platform_widgets Qt6::Widgets)
endif()
# 1,000 permission-row writes checked by the embedded server's catalogue guards against the
# same writes by db_owner, whom the server does not check.
add_executable(bench_catalogue_guards ${CMAKE_CURRENT_LIST_DIR}/catalogue_guards.cpp)
orra_target_defaults(bench_catalogue_guards)
target_link_libraries(bench_catalogue_guards PRIVATE catalogue common platform_db Qt6::Core)
