orra_fuzzer(fuzz_common_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_document.cpp LIBS common)
