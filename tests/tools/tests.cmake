ovixlog_add_test(sim_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_test.cpp LABELS threads)
target_link_libraries(sim_test PRIVATE ovixlog_sim_lib)
add_dependencies(sim_test ovixlog-sim)
target_compile_definitions(sim_test PRIVATE OVIXLOG_SIM_EXECUTABLE="$<TARGET_FILE:ovixlog-sim>")
ovixlog_add_test(scenario_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/scenario_test.cpp)
target_link_libraries(scenario_test PRIVATE ovixlog_sim_lib)

# The window's live recording, end to end: simulator, window and converter as processes.
if(TARGET ovixlog)
  ovixlog_add_test(recording_process_test
                   SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_process_test.cpp LABELS threads)
  add_dependencies(recording_process_test ovixlog ovixlog-sim ovixlog-convert)
  target_compile_definitions(recording_process_test PRIVATE
    OVIXLOG_EXE="$<TARGET_FILE:ovixlog>" OVIXLOG_SIM_EXE="$<TARGET_FILE:ovixlog-sim>"
    OVIXLOG_CONVERT_EXE="$<TARGET_FILE:ovixlog-convert>")
endif()

# The headless recorder, end to end on the simulator.
ovixlog_add_test(record_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_test.cpp LABELS threads)
target_link_libraries(record_test PRIVATE ovixlog_record_lib ovixlog_sim_lib)
add_dependencies(record_test ovixlog-record ovixlog-sim)
target_compile_definitions(record_test PRIVATE OVIXLOG_RECORD_EXE="$<TARGET_FILE:ovixlog-record>"
                           OVIXLOG_SIM_EXE="$<TARGET_FILE:ovixlog-sim>")
