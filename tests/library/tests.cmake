ovixlog_add_test(library_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/flight_figures_test.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/sha256_test.cpp)

# The tool over files made by the simulator, in process; the converter's summary to compare.
ovixlog_add_test(library_tool_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/library_tool_test.cpp
                 LABELS threads)
target_link_libraries(library_tool_test PRIVATE ovixlog_library_lib)
add_dependencies(library_tool_test ovixlog-sim ovixlog-convert)
target_compile_definitions(library_tool_test PRIVATE
  OVIXLOG_SIM_EXE="$<TARGET_FILE:ovixlog-sim>" OVIXLOG_CONVERT_EXE="$<TARGET_FILE:ovixlog-convert>")

# `trend` over fleets of dated simulator recordings, in process.
ovixlog_add_test(trend_tool_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/trend_tool_test.cpp
                 LABELS threads)
target_link_libraries(trend_tool_test PRIVATE ovixlog_library_lib)
add_dependencies(trend_tool_test ovixlog-sim)
target_compile_definitions(trend_tool_test PRIVATE OVIXLOG_SIM_EXE="$<TARGET_FILE:ovixlog-sim>")
