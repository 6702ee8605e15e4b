add_library(ovixlog_convert_lib STATIC ${CMAKE_CURRENT_LIST_DIR}/converter.cpp)
target_include_directories(ovixlog_convert_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ovixlog_convert_lib PUBLIC ovixlog_core PRIVATE ovixlog_warnings)

add_executable(ovixlog-convert ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ovixlog-convert PRIVATE ovixlog_convert_lib ovixlog_warnings)
install(TARGETS ovixlog-convert RUNTIME DESTINATION bin)
