# Shared compile settings and helpers for Velka's targets.

set(VELKA_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wnull-dereference
    -Wformat=2 -Werror)

if(VELKA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELKA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# velka_library(NAME SOURCES... [DEPS libs...])
# One static library per subsystem folder, our warnings as errors.
function(velka_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VELKA_WARNINGS})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# velka_test(NAME SOURCES... [DEPS libs...])
# A GoogleTest binary registered with CTest; the corpus folder comes in as
# VELKA_CORPUS_DIR so tests can read outside data in place and skip without it.
function(velka_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/builtin_language.cpp)
  target_compile_options(${name} PRIVATE ${VELKA_WARNINGS})
  target_compile_definitions(${name} PRIVATE
      VELKA_CORPUS_DIR="${VELKA_CORPUS_DIR}"
      VELKA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      VELKA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} velka_testsupport GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# velka_fuzzer(NAME SOURCES... [DEPS libs...])
function(velka_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  set_property(GLOBAL APPEND PROPERTY VELKA_FUZZERS ${name})
endfunction()

# velka_bench(NAME SOURCES... [DEPS libs...])
function(velka_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${VELKA_WARNINGS})
  target_compile_definitions(${name} PRIVATE VELKA_CORPUS_DIR="${VELKA_CORPUS_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()

# velka_write_target_graph(FILE)
# Writes every target of the tree with its folder, sources and direct link
# libraries, one line each ("name|type|folder|sources|links"), for
# scripts/check_includes.py. Call at the end of the top-level list file.
function(velka_write_target_graph file)
  set(lines "")
  set(dirs ${CMAKE_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(type ${t} TYPE)
      get_target_property(srcdir ${t} SOURCE_DIR)
      get_target_property(srcs ${t} SOURCES)
      get_target_property(links ${t} LINK_LIBRARIES)
      if(NOT srcs)
        set(srcs "")
      endif()
      if(NOT links)
        set(links "")
      endif()
      string(JOIN "," srcs ${srcs})
      string(JOIN "," links ${links})
      string(APPEND lines "${t}|${type}|${srcdir}|${srcs}|${links}\n")
    endforeach()
  endwhile()
  file(WRITE ${file} "${lines}")
endfunction()
