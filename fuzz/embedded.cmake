orra_fuzzer(fuzz_embedded_translator SOURCES ${CMAKE_CURRENT_LIST_DIR}/embedded_translator.cpp LIBS platform_db)
