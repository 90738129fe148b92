# Build helpers shared by every layer.
#
#   wbx_add_layer(NAME DEPS dep...)   the calling folder -> static library wbx_<NAME>
#   wbx_add_test_suite(LAYER LIBS lib... INTERNALS folder...)
#                                     tests/<LAYER>/*.cpp -> wbx_test_<LAYER>, CTest label LAYER
#   wbx_add_bench(NAME SOURCES ... LIBS ... INTERNALS folder...)
#   wbx_add_fuzzer(NAME SOURCES ... LIBS ... INTERNALS folder...)

include(GoogleTest OPTIONAL)

# A layer's folder holds its sources and its private headers side by side (a
# private header is included by its plain name, "softwaredevice.h", and only
# from the folder itself); its public headers live under include/<layer>/ and
# are included as "<layer>/<header>.h". Only include/ is exported, so a layer
# that includes another's private header, or the header of a layer it does
# not link, fails to build.
function(wbx_add_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB_RECURSE public_headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/include/*.h)
  add_library(wbx_${name} STATIC ${sources} ${public_headers})
  target_include_directories(wbx_${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(wbx_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# A static library that a shared module links as well as the programs. Its
# functions stay open to inlining: nothing outside may replace them.
function(wbx_position_independent target)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_compile_options(${target} PRIVATE -fno-semantic-interposition)
endfunction()

# Gives a test, benchmark or fuzz target the private headers of the layers it
# looks inside (folders under src/, e.g. d3d9/raster), by their plain names.
function(wbx_see_internals target)
  foreach(folder IN LISTS ARGN)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/${folder})
  endforeach()
endfunction()

# One test executable per layer; every test in it carries the layer's label.
function(wbx_add_test_suite layer)
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES;INTERNALS" ${ARGN})
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
  wbx_see_internals(wbx_test_${layer} ${ARG_INTERNALS})
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
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;INTERNALS" ${ARGN})
  add_executable(wbx_bench_${name} ${ARG_SOURCES})
  target_link_libraries(wbx_bench_${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  wbx_see_internals(wbx_bench_${name} ${ARG_INTERNALS})
endfunction()

# libFuzzer targets; only configured when the compiler is clang.
function(wbx_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;INTERNALS" ${ARGN})
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
  wbx_see_internals(fuzz_${name} ${ARG_INTERNALS})
endfunction()
