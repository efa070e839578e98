# Build defaults shared by every target of the project.

# Warnings on everywhere, and fatal; floating-point contraction off everywhere,
# because the DSP is compared bit for bit with an independent implementation and a
# fused multiply-add changes the last bit. Fast-math is never enabled.
add_compile_options(-Wall -Wextra -Werror -ffp-contract=off)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-fno-fast-math)
endif()

# KESTRIN_SANITIZE: empty, "address,undefined" or "thread".
set(KESTRIN_SANITIZE "" CACHE STRING "Sanitizers to build with (address,undefined or thread)")
if(KESTRIN_SANITIZE)
  add_compile_options(-fsanitize=${KESTRIN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${KESTRIN_SANITIZE})
  add_compile_definitions(KESTRIN_SANITIZED=1)
  if(KESTRIN_SANITIZE MATCHES "thread")
    add_compile_definitions(KESTRIN_THREAD_SANITIZED=1)
  endif()
endif()

# Fuzzing: coverage instrumentation for everything; only the fuzz executables link
# libFuzzer itself (kestrin_add_fuzzer).
if(KESTRIN_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT KESTRIN_SANITIZE MATCHES "address")
    message(FATAL_ERROR "KESTRIN_BUILD_FUZZERS needs clang and KESTRIN_SANITIZE=address,undefined")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=fuzzer-no-link)
endif()

find_package(Threads REQUIRED)

# kestrin_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One test executable per component; every case is registered with CTest.
function(kestrin_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# kestrin_add_benchmark(<name> SOURCES <files...> LIBS <targets...>)
function(kestrin_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
endfunction()

# kestrin_add_fuzzer(<name> SOURCES <files...> LIBS <targets...>)
# A libFuzzer executable. It exports its symbols so that plug-in binaries it loads
# find the coverage and sanitizer hooks in it.
function(kestrin_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Threads::Threads)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
endfunction()
