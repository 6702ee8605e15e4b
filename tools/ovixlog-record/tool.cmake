# ovixlog-record: the headless recorder. The library holds the recorder so that the tests can
# drive it; the executable adds the command line and the signals. No Qt.
add_library(ovixlog_record_lib STATIC ${CMAKE_CURRENT_LIST_DIR}/recorder.cpp)
target_include_directories(ovixlog_record_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ovixlog_record_lib PUBLIC ovixlog_core
                      PRIVATE ovixlog_warnings)

add_executable(ovixlog-record ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ovixlog-record PRIVATE ovixlog_record_lib ovixlog_warnings)
