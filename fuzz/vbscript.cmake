# Script engine fuzzers: the lexer and parser, and the evaluator (bounded by a time limit).
if(TARGET platform_vbscript)
  orra_fuzzer(vbscript_parse_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/vbscript_parse.cpp LIBS platform_vbscript)
  orra_fuzzer(vbscript_eval_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/vbscript_eval.cpp LIBS platform_vbscript)
endif()
