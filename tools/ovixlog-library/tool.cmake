# ovixlog-library: the flight library on the command line. The library of the tool holds
# everything but main, so that the tests can drive it in process.
add_library(ovixlog_library_lib STATIC ${CMAKE_CURRENT_LIST_DIR}/library_tool.cpp)
target_include_directories(ovixlog_library_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ovixlog_library_lib PUBLIC ovixlog_core PRIVATE ovixlog_warnings)

add_executable(ovixlog-library ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ovixlog-library PRIVATE ovixlog_library_lib ovixlog_warnings)
