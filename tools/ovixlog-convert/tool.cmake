add_library(ovixlog_convert_lib STATIC ${CMAKE_CURRENT_LIST_DIR}/converter.cpp)
target_include_directories(ovixlog_convert_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ovixlog_convert_lib PUBLIC ovixlog_core PRIVATE ovixlog_warnings)

# The program adds the flight report, which Qt draws (offscreen, without a window).
add_executable(ovixlog-convert ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ovixlog-convert PRIVATE ovixlog_convert_lib ovixlog_warnings)
if(TARGET ovixlog_gui)
  target_link_libraries(ovixlog-convert PRIVATE ovixlog_gui)
  target_compile_definitions(ovixlog-convert PRIVATE OVIXLOG_HAVE_REPORT=1)
endif()
install(TARGETS ovixlog-convert RUNTIME DESTINATION bin)
