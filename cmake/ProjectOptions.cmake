# opencv_deps: OpenCV's headers, as system headers whose warnings are not ours, and the libraries of the
# modules the project uses, for every target that uses OpenCV itself.
add_library(opencv_deps INTERFACE)
target_include_directories(opencv_deps SYSTEM INTERFACE ${OpenCV_INCLUDE_DIRS})
target_link_libraries(opencv_deps INTERFACE ${OpenCV_LIBS})

# standard_warnings: the warning set every target of the project compiles with.
add_library(standard_warnings INTERFACE)
target_compile_options(standard_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wformat=2
  -Wimplicit-fallthrough -Wnull-dereference)

# sanitizers: AddressSanitizer and UndefinedBehaviorSanitizer when LANESCOPE_SANITIZE is on.
add_library(sanitizers INTERFACE)
if(LANESCOPE_SANITIZE)
  target_compile_options(sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  target_link_options(sanitizers INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# project_defaults(target): the warnings and sanitizers that every target of the project takes.
function(project_defaults target)
  target_link_libraries(${target} PRIVATE standard_warnings sanitizers)
endfunction()

# project_test(name source... LIBS lib...): a GoogleTest executable registered with CTest.
function(project_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} TestSupport GTest::gtest GTest::gtest_main)
  project_defaults(${name})
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()

# project_benchmark(name source... LIBS lib...): a Google Benchmark executable; CTest runs it once
# briefly as a sanity check so that it cannot rot. Benchmarks draw their inputs with the tests' helpers.
function(project_benchmark name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} TestSupport benchmark::benchmark benchmark::benchmark_main)
  project_defaults(${name})
  add_test(NAME ${name}.sanity COMMAND ${name} --benchmark_min_time=0.001)
  set_tests_properties(${name}.sanity PROPERTIES LABELS bench)
endfunction()
