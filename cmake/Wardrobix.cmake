# Build helpers shared by every layer.
#
#   wbx_add_layer(NAME DEPS dep...)   src/<NAME>/*.cpp -> static library wbx_<NAME>
#   wbx_add_test_suite(LAYER LIBS lib...)  tests/<LAYER>/*.cpp -> wbx_test_<LAYER>, CTest label LAYER
#   wbx_add_bench(NAME SOURCES ... LIBS ...)
#   wbx_add_fuzzer(NAME SOURCES ... LIBS ...)

include(GoogleTest OPTIONAL)

function(wbx_add_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(wbx_${name} STATIC ${sources})
  target_include_directories(wbx_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(wbx_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# One test executable per layer; every test in it carries the layer's label.
function(wbx_add_test_suite layer)
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(wbx_test_${layer} ${sources})
  target_link_libraries(wbx_test_${layer} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(wbx_test_${layer} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(wbx_test_${layer} PRIVATE
    WBX_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    WBX_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  # A test passes only when GoogleTest says so: a process that ends early with
  # status 0 (the device layer's halt on error does) must not count as a pass.
  # Sanitizer reports are failures even when they come after that line.
  gtest_discover_tests(wbx_test_${layer}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${layer} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
      FAIL_REGULAR_EXPRESSION "ERROR: [A-Za-z]+Sanitizer|runtime error: ")
endfunction()

function(wbx_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(wbx_bench_${name} ${ARG_SOURCES})
  target_link_libraries(wbx_bench_${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# libFuzzer targets; only configured when the compiler is clang.
function(wbx_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
endfunction()
