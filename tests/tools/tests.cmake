ovixlog_add_test(sim_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_test.cpp LABELS threads)
target_link_libraries(sim_test PRIVATE ovixlog_sim_lib)
add_dependencies(sim_test ovixlog-sim)
target_compile_definitions(sim_test PRIVATE OVIXLOG_SIM_EXECUTABLE="$<TARGET_FILE:ovixlog-sim>")
