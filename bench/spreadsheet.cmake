# Export of 1,000,000 rows x 10 columns to a workbook against a bare libxlsxwriter loop.
add_executable(bench_spreadsheet_export ${CMAKE_CURRENT_LIST_DIR}/spreadsheet_export.cpp)
orra_target_defaults(bench_spreadsheet_export)
target_link_libraries(bench_spreadsheet_export PRIVATE common platform_spreadsheet PkgConfig::XLSXWRITER Qt6::Core)
