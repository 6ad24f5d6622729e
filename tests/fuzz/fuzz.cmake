# The libFuzzer targets, one per way text or bytes enter the engine, and a smoke run of each as a test.
set(KELB_FUZZ_TARGETS winboard uci fen config book learn posfile)
set(KELB_FUZZ_SMOKE_SECONDS 3 CACHE STRING "Fuzzing time of each smoke test, after its seed corpus")

add_library(kelbfuzzsupport STATIC ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_support.cpp)
target_include_directories(kelbfuzzsupport PUBLIC ${CMAKE_SOURCE_DIR}/tests/fuzz)
target_link_libraries(kelbfuzzsupport PUBLIC kelbcore)
target_compile_definitions(kelbfuzzsupport PRIVATE KELB_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

enable_testing()
foreach(target ${KELB_FUZZ_TARGETS})
  add_executable(fuzz_${target} ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_${target}.cpp)
  target_link_libraries(fuzz_${target} PRIVATE kelbfuzzsupport)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  # Seeds and kept findings replayed, then a few seconds of fuzzing into a scratch corpus.
  add_test(NAME fuzz_smoke_${target}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run_fuzz.sh --fresh $<TARGET_FILE:fuzz_${target}>
                   ${KELB_FUZZ_SMOKE_SECONDS} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target}
                   ${CMAKE_BINARY_DIR}/fuzz-smoke/${target})
  set_tests_properties(fuzz_smoke_${target} PROPERTIES TIMEOUT 300)
endforeach()
