ovixlog_add_test(convert_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/convert_test.cpp)
target_link_libraries(convert_test PRIVATE ovixlog_convert_lib)
target_compile_definitions(convert_test PRIVATE
  OVIXLOG_CONVERT_EXE="$<TARGET_FILE:ovixlog-convert>")
add_dependencies(convert_test ovixlog-convert)
ovixlog_add_test(convert_summary_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/summary_test.cpp)
target_link_libraries(convert_summary_test PRIVATE ovixlog_convert_lib)
target_compile_definitions(convert_summary_test PRIVATE
  OVIXLOG_CONVERT_EXE="$<TARGET_FILE:ovixlog-convert>")
add_dependencies(convert_summary_test ovixlog-convert)
