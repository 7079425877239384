# Shared build settings and small helpers for every target of the project.

set(ORRA_WARNINGS -Wall -Wextra -Wno-unused-parameter)
set(ORRA_SANITIZE_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

function(orra_module_wanted module out)
  set(r ON)
  if(ORRA_MODULES)
    list(FIND ORRA_MODULES ${module} i)
    if(i EQUAL -1)
      set(r OFF)
    endif()
  endif()
  if(NOT ORRA_GUI)
    list(FIND ORRA_GUI_MODULES ${module} g)
    if(NOT g EQUAL -1)
      set(r OFF)
    endif()
  endif()
  set(${out} ${r} PARENT_SCOPE)
endfunction()

# Compile options common to our own targets.
function(orra_target_defaults target)
  target_compile_options(${target} PRIVATE ${ORRA_WARNINGS})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  if(ORRA_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  elseif(SANITIZE)
    target_compile_options(${target} PRIVATE ${ORRA_SANITIZE_FLAGS})
    target_link_options(${target} PUBLIC ${ORRA_SANITIZE_FLAGS})
  endif()
endfunction()

# orra_library(name STATIC|SHARED SOURCES ... LIBS ...)
# Libraries that hold process-wide state (the user interface, the backend registry, the code
# page, the parameter prompt) must be SHARED when a shared library uses them, or each binary
# would get its own copy of that state.
# Sources default to every .cpp/.h below the calling folder (not recursing into folders that
# have their own CMakeLists.txt is the caller's business: pass SOURCES to be explicit).
function(orra_library name kind)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT A_SOURCES)
    file(GLOB_RECURSE A_SOURCES CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  add_library(${name} ${kind} ${A_SOURCES})
  orra_target_defaults(${name})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# orra_test(name SOURCES ... LIBS ... [LABELS ...])
# A GoogleTest executable whose cases are each registered with CTest.
function(orra_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/TestEnvironment.cpp)
  if(SANITIZE)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/LeakSuppressions.cpp)
  endif()
  orra_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE ORRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ORRA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(props)
  if(A_LABELS)
    list(APPEND props LABELS "${A_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

# orra_embed_sql(header dir name ...)
# Writes header with one constant per script dir/<name>.sql: kSchema<Name> holding its text
# (name with its first letter upper-cased). Editing a script reconfigures.
function(orra_embed_sql header dir)
  get_filename_component(_names_note "${dir}" NAME)
  set(_text "// Generated from the scripts in ${_names_note}/; do not edit.\n#pragma once\n")
  foreach(_s IN LISTS ARGN)
    file(READ ${dir}/${_s}.sql _content)
    string(SUBSTRING ${_s} 0 1 _first)
    string(TOUPPER ${_first} _first)
    string(SUBSTRING ${_s} 1 -1 _rest)
    string(APPEND _text "static const char kSchema${_first}${_rest}[] = R\"orra_sql(${_content})orra_sql\";\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${dir}/${_s}.sql)
  endforeach()
  file(WRITE ${header}.in "${_text}")
  configure_file(${header}.in ${header} COPYONLY)
endfunction()
