# Fuzz targets. Under the fuzz preset (clang) they are libFuzzer programs; in every other build
# each runs over its committed corpus as an ordinary test.
set(OVIXLOG_FUZZ_TARGETS frames demo_log command_line limits_file sealing reader)
set(OVIXLOG_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
foreach(target ${OVIXLOG_FUZZ_TARGETS})
  set(sources ${OVIXLOG_FUZZ_DIR}/${target}_fuzz.cpp ${OVIXLOG_FUZZ_DIR}/fuzz_input.cpp)
  if(OVIXLOG_FUZZ)
    add_executable(${target}_fuzz ${sources})
    target_link_options(${target}_fuzz PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${target}_fuzz ${sources} ${OVIXLOG_FUZZ_DIR}/corpus_runner.cpp)
    add_test(NAME fuzz_corpus_${target}
             COMMAND ${target}_fuzz ${OVIXLOG_FUZZ_DIR}/corpus/${target})
  endif()
  target_link_libraries(${target}_fuzz PRIVATE ovixlog_core ovixlog_warnings)
endforeach()

# The analysis and its findings over the sample streams that every corpus above makes.
set(findings_sources ${OVIXLOG_FUZZ_DIR}/findings_fuzz.cpp ${OVIXLOG_FUZZ_DIR}/fuzz_input.cpp)
if(OVIXLOG_FUZZ)
  add_executable(findings_fuzz ${findings_sources})
  target_link_options(findings_fuzz PRIVATE -fsanitize=fuzzer)
else()
  add_executable(findings_fuzz ${findings_sources} ${OVIXLOG_FUZZ_DIR}/corpus_runner.cpp)
  add_test(NAME fuzz_corpus_findings
           COMMAND findings_fuzz ${OVIXLOG_FUZZ_DIR}/corpus/frames ${OVIXLOG_FUZZ_DIR}/corpus/demo_log
                   ${OVIXLOG_FUZZ_DIR}/corpus/command_line)
endif()
target_link_libraries(findings_fuzz PRIVATE ovixlog_core ovixlog_warnings)

# Writes the seed corpus from our own frame and demo-log builders.
add_executable(make_fuzz_corpus ${OVIXLOG_FUZZ_DIR}/make_fuzz_corpus.cpp)
target_link_libraries(make_fuzz_corpus PRIVATE ovixlog_core ovixlog_warnings)
