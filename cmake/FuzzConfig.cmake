# libFuzzer targets over the input handling of the core. Clang only: the core is built with
# coverage and the address and undefined-behaviour sanitizers, the targets link libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "BRISFOLD_FUZZ needs clang++ (configure with -DCMAKE_CXX_COMPILER=clang++)")
endif()

set(BRISFOLD_FUZZ_SANITIZERS address,undefined)
# Every sanitizer report must stop the run, so the fuzzer records the input.
set(BRISFOLD_FUZZ_COMPILE_OPTIONS -fsanitize=${BRISFOLD_FUZZ_SANITIZERS} -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g -fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/fuzz/ubsan-ignore.txt)

# Instruments an existing library for coverage without pulling in libFuzzer's main.
function(brisfold_fuzz_instrument target)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link ${BRISFOLD_FUZZ_COMPILE_OPTIONS})
endfunction()

function(brisfold_add_fuzzer name)
  cmake_parse_arguments(FUZZ "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${FUZZ_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${BRISFOLD_FUZZ_COMPILE_OPTIONS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,${BRISFOLD_FUZZ_SANITIZERS})
  target_link_libraries(${name} PRIVATE brisfold_core ${FUZZ_LIBRARIES})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTORCC OFF)
  set_property(GLOBAL APPEND PROPERTY BRISFOLD_FUZZERS ${name})
endfunction()
